// SPDX-License-Identifier: MIT
#include "competition/frm_competition.h"

#include "competition/competition_csv.h"
#include "competition/competition_store.h"
#include "competition/heat_console.h"
#include "competition/heat_text.h"
#include "competition/running_competition.h"
#include "competition/standings.h"
#include "results/export_target.h"
#include "widgets/remembered_place.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace competition;

namespace
{

// Every column as wide as its contents; the last one takes what is left.
QTableWidget *makeTable(const QString &objectName, const QStringList &headers, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setObjectName(objectName);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    // One line a row: a fixed height, so ten thousand rows are not measured one by one.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    return table;
}

QTableWidgetItem *cell(const QString &text)
{
    // Names are shown as typed: QTableWidgetItem never interprets markup. A name of thousands of
    // characters would be laid out whole for every column width: the cell shows its start and
    // the tooltip all of it.
    constexpr qsizetype kShown = 100;
    if (text.size() <= kShown) {
        return new QTableWidgetItem(text);
    }
    const qsizetype cut = text.at(kShown - 1).isHighSurrogate() ? kShown - 1 : kShown;
    auto *item = new QTableWidgetItem(text.left(cut) + QStringLiteral("…"));
    item->setToolTip(text);
    return item;
}

QString ruleName(RankingRule rule)
{
    switch (rule) {
    case RankingRule::Total:
        break;
    case RankingRule::Mean:
        return QStringLiteral("Mean per heat played");
    case RankingRule::Best:
        return QStringLiteral("Best heat");
    }
    return QStringLiteral("Total");
}

QString gameText(const Settings &settings)
{
    return settings.gameKind == PlayMode::Strength
        ? QStringLiteral("Strength %1 s").arg(settings.seconds)
        : QStringLiteral("Speed, best rpm over %1 s").arg(settings.seconds);
}

} // namespace

frmCompetition::frmCompetition(RunningCompetition &model, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_model(model)
    , m_chooseFile([](QWidget *owner, const QString &suggested) {
        return QFileDialog::getSaveFileName(
            owner, QStringLiteral("Export"), suggested, QStringLiteral("CSV files (*.csv)"));
    })
    , m_confirm([](QWidget *owner, const QString &question) {
        return QMessageBox::question(owner, QStringLiteral("Competition"), question)
            == QMessageBox::Yes;
    })
{
    setObjectName(QStringLiteral("frmCompetition"));
    setWindowTitle(QStringLiteral("Competition"));
    m_pages = new QStackedWidget(this);
    auto *createPage = new QWidget(m_pages);
    auto *runPage = new QWidget(m_pages);
    buildCreatePage(createPage);
    buildRunPage(runPage);
    m_pages->addWidget(createPage);
    m_pages->addWidget(runPage);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    layout->addWidget(m_status);
    resize(1180, 660);
    m_place = new widgets::RememberedPlace(*this, settings_store::window_places::kCompetition);

    m_status->setText(m_model.status());
    connect(&m_model, &RunningCompetition::statusChanged, m_status, &QLabel::setText);
    connect(&m_model, &RunningCompetition::changed, this, [this] {
        if (m_standingsOnly) {
            fillStandings();
        } else {
            showCompetition();
        }
    });
    connect(&m_model, &RunningCompetition::heatCalled, this, &frmCompetition::showCalledHeat);
    connect(&m_model, &RunningCompetition::gameTaken, this, [this] {
        // Space or Enter now calls the next heat, and again plays it.
        if (m_next->isEnabled()) {
            m_next->setFocus(Qt::OtherFocusReason);
        }
    });
    connect(&m_model, &RunningCompetition::replaced, this, &frmCompetition::showCompetition);
    connect(&m_model, &RunningCompetition::closed, this, &frmCompetition::showCompetition);
    showCompetition();
}

frmCompetition::~frmCompetition() = default;

void frmCompetition::buildCreatePage(QWidget *page)
{
    auto *form = new QFormLayout(page);
    m_name = new QLineEdit(page);
    m_name->setObjectName(QStringLiteral("txtCompetitionName"));
    m_name->setPlaceholderText(QStringLiteral("Friday night"));
    form->addRow(QStringLiteral("&Name"), m_name);

    auto *gameRow = new QHBoxLayout;
    m_game = new QComboBox(page);
    m_game->setObjectName(QStringLiteral("cboGame"));
    m_game->addItem(QStringLiteral("Strength: total revolutions"), int(PlayMode::Strength));
    m_game->addItem(QStringLiteral("Speed: best rpm"), int(PlayMode::Speed));
    m_seconds = new QComboBox(page);
    m_seconds->setObjectName(QStringLiteral("cboSeconds"));
    for (const int seconds : { 30, 60, 90 }) {
        m_seconds->addItem(QStringLiteral("%1 s").arg(seconds), seconds);
    }
    m_seconds->setCurrentIndex(1);
    gameRow->addWidget(m_game);
    gameRow->addWidget(m_seconds);
    auto *gameLabel = new QLabel(QStringLiteral("&Game"), page);
    gameLabel->setBuddy(m_game);
    form->addRow(gameLabel, gameRow);

    m_ranking = new QComboBox(page);
    m_ranking->setObjectName(QStringLiteral("cboRanking"));
    fillRules(m_ranking, PlayMode::Strength, RankingRule::Total);
    auto *rankingLabel = new QLabel(QStringLiteral("Ran&ked by"), page);
    rankingLabel->setBuddy(m_ranking);
    form->addRow(rankingLabel, m_ranking);
    connect(m_game, &QComboBox::currentIndexChanged, this, [this] {
        fillRules(m_ranking, PlayMode(m_game->currentData().toInt()),
            RankingRule(m_ranking->currentData().toInt()));
    });

    m_rounds = new QSpinBox(page);
    m_rounds->setObjectName(QStringLiteral("spnRounds"));
    m_rounds->setRange(kMinRounds, kMaxRounds);
    m_rounds->setValue(kDefaultRounds);
    form->addRow(QStringLiteral("&Rounds"), m_rounds);

    m_roster = new QPlainTextEdit(page);
    m_roster->setObjectName(QStringLiteral("txtRoster"));
    m_roster->setPlaceholderText(QStringLiteral("One name a line"));
    form->addRow(QStringLiteral("&Players"), m_roster);

    m_create = new QPushButton(QStringLiteral("&Create competition"), page);
    m_create->setObjectName(QStringLiteral("cmdCreate"));
    form->addRow(QString(), m_create);
    connect(m_create, &QPushButton::clicked, this, &frmCompetition::createCompetition);
}

void frmCompetition::buildRunPage(QWidget *page)
{
    auto *grid = new QGridLayout(page);
    m_title = new QLabel(page);
    m_title->setObjectName(QStringLiteral("lblCompetition"));
    m_title->setTextFormat(Qt::PlainText);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    m_title->setFont(titleFont);
    grid->addWidget(m_title, 0, 0, 1, 3);
    // The console: the heat of the moment and its commands, above everything else.
    m_console = new HeatConsole(page);
    m_next = m_console->nextButton();
    m_redoButton = m_console->redoButton();
    grid->addWidget(m_console, 1, 0, 1, 3);

    // Roster: rename in place, retire, add late arrivals.
    auto *rosterBox = new QGroupBox(QStringLiteral("Players"), page);
    auto *rosterLayout = new QVBoxLayout(rosterBox);
    m_players = new QListWidget(rosterBox);
    m_players->setObjectName(QStringLiteral("lstPlayers"));
    m_players->setUniformItemSizes(true);
    m_players->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    rosterLayout->addWidget(m_players);
    m_retire = new QPushButton(QStringLiteral("Re&tire"), rosterBox);
    m_retire->setObjectName(QStringLiteral("cmdRetire"));
    rosterLayout->addWidget(m_retire);
    m_add = new QPlainTextEdit(rosterBox);
    m_add->setObjectName(QStringLiteral("txtAddPlayers"));
    m_add->setPlaceholderText(QStringLiteral("Late arrivals, one a line"));
    m_add->setMaximumHeight(80);
    rosterLayout->addWidget(m_add);
    m_addButton = new QPushButton(QStringLiteral("&Add players"), rosterBox);
    m_addButton->setObjectName(QStringLiteral("cmdAddPlayers"));
    rosterLayout->addWidget(m_addButton);
    grid->addWidget(rosterBox, 2, 0, 2, 1);

    auto *heatsBox = new QGroupBox(QStringLiteral("Heats"), page);
    auto *heatsLayout = new QVBoxLayout(heatsBox);
    m_heats = makeTable(QStringLiteral("tblHeats"),
        { QStringLiteral("Heat"), QStringLiteral("Round"), QStringLiteral("Device 1"),
            QStringLiteral("Device 2"), QStringLiteral("Device 3"), QStringLiteral("Device 4"),
            QStringLiteral("State") },
        heatsBox);
    heatsLayout->addWidget(m_heats);
    auto *swapRow = new QHBoxLayout;
    m_swapOut = new QComboBox(heatsBox);
    m_swapOut->setObjectName(QStringLiteral("cboSwapOut"));
    m_swapIn = new QComboBox(heatsBox);
    m_swapIn->setObjectName(QStringLiteral("cboSwapIn"));
    m_swap = new QPushButton(QStringLiteral("S&wap"), heatsBox);
    m_swap->setObjectName(QStringLiteral("cmdSwap"));
    swapRow->addWidget(new QLabel(QStringLiteral("Swap"), heatsBox));
    swapRow->addWidget(m_swapOut, 1);
    swapRow->addWidget(new QLabel(QStringLiteral("with"), heatsBox));
    swapRow->addWidget(m_swapIn, 1);
    swapRow->addWidget(m_swap);
    heatsLayout->addLayout(swapRow);
    grid->addWidget(heatsBox, 2, 1, 2, 1);

    auto *standingsBox = new QGroupBox(QStringLiteral("Standings"), page);
    m_standingsBox = standingsBox;
    auto *standingsLayout = new QVBoxLayout(standingsBox);
    auto *ruleRow = new QHBoxLayout;
    m_rankedBy = new QComboBox(standingsBox);
    m_rankedBy->setObjectName(QStringLiteral("cboRankedBy"));
    m_rankedBy->setToolTip(QStringLiteral("Can be changed until the first heat is played."));
    auto *rankedByLabel = new QLabel(QStringLiteral("Ranked &by"), standingsBox);
    rankedByLabel->setBuddy(m_rankedBy);
    ruleRow->addWidget(rankedByLabel);
    ruleRow->addWidget(m_rankedBy, 1);
    standingsLayout->addLayout(ruleRow);
    m_standings = makeTable(QStringLiteral("tblStandings"),
        { QStringLiteral("Rank"), QStringLiteral("Name"), QStringLiteral("Score"),
            QStringLiteral("Rounds"), QStringLiteral("Note") },
        standingsBox);
    standingsLayout->addWidget(m_standings);
    auto *exportRow = new QHBoxLayout;
    m_exportStandings = new QPushButton(QStringLiteral("Export &standings…"), standingsBox);
    m_exportStandings->setObjectName(QStringLiteral("cmdExportStandings"));
    m_exportHeats = new QPushButton(QStringLiteral("Export &heats…"), standingsBox);
    m_exportHeats->setObjectName(QStringLiteral("cmdExportHeats"));
    exportRow->addWidget(m_exportStandings);
    exportRow->addWidget(m_exportHeats);
    standingsLayout->addLayout(exportRow);
    m_close = new QPushButton(QStringLiteral("C&lose competition"), standingsBox);
    m_close->setObjectName(QStringLiteral("cmdCloseCompetition"));
    standingsLayout->addWidget(m_close);
    grid->addWidget(standingsBox, 2, 2, 2, 1);
    rosterBox->setMaximumWidth(240);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setRowStretch(2, 1);
    grid->setRowStretch(3, 1);

    connect(m_next, &QPushButton::clicked, this, &frmCompetition::callNextHeat);
    connect(m_redoButton, &QPushButton::clicked, this, &frmCompetition::callRedo);
    connect(m_swap, &QPushButton::clicked, this, &frmCompetition::swapPlayers);
    connect(m_retire, &QPushButton::clicked, this, &frmCompetition::retireSelectedPlayer);
    connect(m_addButton, &QPushButton::clicked, this, [this] {
        if (addPlayers(m_add->toPlainText())) {
            m_add->clear();
            // Back to the heats: Space calls the next one again, not this button.
            if (m_next->isEnabled()) {
                m_next->setFocus(Qt::OtherFocusReason);
            }
        }
    });
    connect(m_exportStandings, &QPushButton::clicked, this, &frmCompetition::exportStandings);
    connect(m_exportHeats, &QPushButton::clicked, this, &frmCompetition::exportHeats);
    connect(m_close, &QPushButton::clicked, this, &frmCompetition::closeCompetition);
    connect(m_players, &QListWidget::itemChanged, this, &frmCompetition::renamed);
    connect(m_rankedBy, &QComboBox::activated, this,
        [this] { setRankingRule(RankingRule(m_rankedBy->currentData().toInt())); });
    connect(m_swapOut, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling) {
            fillSwap();
        }
    });
}

bool frmCompetition::createCompetition()
{
    Settings settings;
    settings.name = m_name->text();
    settings.gameKind = PlayMode(m_game->currentData().toInt());
    settings.seconds = m_seconds->currentData().toInt();
    settings.rounds = m_rounds->value();
    settings.ranking = RankingRule(m_ranking->currentData().toInt());
    if (!m_model.create(settings, m_roster->toPlainText())) {
        return false;
    }
    m_roster->clear();
    m_name->clear();
    return true;
}

void frmCompetition::showCompetition()
{
    const Competition *shown = m_model.current();
    m_pages->setCurrentIndex(shown ? 1 : 0);
    if (!shown) {
        setWindowTitle(QStringLiteral("Competition"));
        return;
    }
    const Settings &settings = shown->settings;
    setWindowTitle(QStringLiteral("Competition – %1").arg(settings.name));
    m_title->setText(QStringLiteral("%1 · %2 · %3 rounds")
                         .arg(settings.name, gameText(settings))
                         .arg(settings.rounds));
    fillRoster();
    fillHeats();
    fillStandings();
    fillSwap();
    updateButtons();
}

void frmCompetition::fillRoster()
{
    m_filling = true;
    m_players->clear();
    for (const Player &player : m_model.current()->players) {
        auto *item = new QListWidgetItem(player.name, m_players);
        item->setData(Qt::UserRole, player.id);
        if (player.retired) {
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            item->setToolTip(QStringLiteral("Retired"));
            QFont font = item->font();
            font.setStrikeOut(true);
            item->setFont(font);
        } else {
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
    }
    m_filling = false;
}

void frmCompetition::fillHeats()
{
    const Competition &c = *m_model.current();
    const int played = PlayedHeats(c);
    m_heats->setRowCount(int(c.heats.size()));
    for (int h = 0; h < c.heats.size(); ++h) {
        const Heat &heat = c.heats[h];
        m_heats->setItem(h, 0, cell(QString::number(h + 1)));
        m_heats->setItem(h, 1, cell(QString::number(heat.round)));
        const QStringList names = SeatNames(c, heat);
        for (int d = 0; d < kDevices; ++d) {
            m_heats->setItem(h, 2 + d, cell(names[d]));
        }
        QString state;
        if (m_model.calledHeat() == h) {
            state =
                m_model.redoCalled() ? QStringLiteral("called again") : QStringLiteral("called");
        } else if (const Attempt *counted = h < played ? CountedAttempt(c, h) : nullptr) {
            state = counted->attempt > 1
                ? QStringLiteral("played (%1 times, the last counts)").arg(counted->attempt)
                : QStringLiteral("played");
        }
        m_heats->setItem(h, 6, cell(state));
    }
    const std::optional<int> next = NextHeat(c);
    const int focus = m_model.calledHeat().value_or(next.value_or(int(c.heats.size()) - 1));
    if (focus >= 0 && focus < m_heats->rowCount()) {
        m_heats->scrollToItem(m_heats->item(focus, 0));
    }
}

void frmCompetition::fillStandings()
{
    const Competition &c = *m_model.current();
    const QList<Standing> standings = Standings(c);
    m_standingsBox->setTitle(QStringLiteral("Standings: %1").arg(RuleText(c.settings)));
    fillRules(m_rankedBy, c.settings.gameKind, RuleOf(c.settings));
    m_standings->setHorizontalHeaderItem(2, cell(ruleName(RuleOf(c.settings))));
    m_standings->setRowCount(int(standings.size()));
    for (int row = 0; row < standings.size(); ++row) {
        const Standing &s = standings[row];
        QString note;
        if (s.retired) {
            note = QStringLiteral("retired");
        } else if (s.roundsMissed > 0) {
            note = QStringLiteral("missed %1").arg(s.roundsMissed);
        }
        m_standings->setItem(row, 0, cell(s.rank > 0 ? QString::number(s.rank) : QString()));
        m_standings->setItem(row, 1, cell(s.name));
        m_standings->setItem(
            row, 2, cell(s.roundsPlayed > 0 ? ScoreText(c.settings.gameKind, s.score) : QString()));
        m_standings->setItem(row, 3, cell(QString::number(s.roundsPlayed)));
        m_standings->setItem(row, 4, cell(note));
    }
}

void frmCompetition::fillRules(QComboBox *box, PlayMode gameKind, RankingRule chosen)
{
    const bool wasFilling = m_filling;
    m_filling = true;
    box->clear();
    for (const RankingRule rule : RulesFor(gameKind)) {
        box->addItem(ruleName(rule), int(rule));
    }
    box->setCurrentIndex(std::max(0, box->findData(int(chosen))));
    m_filling = wasFilling;
}

void frmCompetition::fillSwap()
{
    const Competition &c = *m_model.current();
    const bool wasFilling = m_filling;
    m_filling = true;
    const PlayerId chosen = m_swapOut->currentData().toInt();
    m_swapOut->clear();
    const std::optional<int> next = NextHeat(c);
    if (next) {
        for (const PlayerId id : c.heats[*next].seats) {
            if (id != kNoPlayer) {
                m_swapOut->addItem(FindPlayer(c, id)->name, id);
            }
        }
        const int index = m_swapOut->findData(chosen);
        m_swapOut->setCurrentIndex(index >= 0 ? index : 0);
    }
    m_swapIn->clear();
    for (const PlayerId id : SwapCandidates(c, m_swapOut->currentData().toInt())) {
        m_swapIn->addItem(FindPlayer(c, id)->name, id);
    }
    m_filling = wasFilling;
    updateButtons();
}

void frmCompetition::updateButtons()
{
    const Competition *shown = m_model.current();
    if (!shown) {
        return;
    }
    const bool waiting = m_model.calledHeat().has_value();
    m_next->setEnabled(!waiting && NextHeat(*shown).has_value());
    m_redoButton->setEnabled(!waiting && PlayedHeats(*shown) > 0);
    m_rankedBy->setEnabled(PlayedHeats(*shown) == 0);
    // A called heat is on the board: its line-up stays as announced.
    m_swap->setEnabled(!waiting && m_swapIn->count() > 0);
}

void frmCompetition::showCalledHeat()
{
    fillHeats();
    updateButtons();
    // Space or Enter now plays it.
    m_console->setFocus(Qt::OtherFocusReason);
}

bool frmCompetition::callNextHeat() { return m_model.callNextHeat(); }

bool frmCompetition::callRedo() { return m_model.callRedo(); }

bool frmCompetition::addPlayers(const QString &roster) { return m_model.addPlayers(roster); }

bool frmCompetition::retireSelectedPlayer()
{
    const QListWidgetItem *item = m_players->currentItem();
    return item && m_model.retirePlayer(item->data(Qt::UserRole).toInt());
}

void frmCompetition::renamed(QListWidgetItem *item)
{
    if (!m_filling) {
        m_model.renamePlayer(item->data(Qt::UserRole).toInt(), item->text());
    }
}

bool frmCompetition::swapPlayers()
{
    return m_model.swap(m_swapOut->currentData().toInt(), m_swapIn->currentData().toInt());
}

bool frmCompetition::setRankingRule(RankingRule rule)
{
    m_standingsOnly = true;
    const bool set = m_model.setRankingRule(rule);
    m_standingsOnly = false;
    if (!set) {
        // The box goes back to the rule that stands.
        if (m_model.current()) {
            fillStandings();
        }
        return false;
    }
    return true;
}

bool frmCompetition::writeCsv(const QString &suggestedName, const QString &text)
{
    const QString path = m_chooseFile(this, results::SuggestedExportPath(suggestedName));
    if (path.isEmpty()) {
        return false;
    }
    results::RememberExportFolder(path);
    QString error;
    const QByteArray bytes = text.toUtf8();
    const bool written = results::WriteExport(
        path, m_model.store().filePath(),
        [&bytes](QIODevice &device, QString *why) {
            if (device.write(bytes) != bytes.size()) {
                *why = device.errorString();
                return false;
            }
            return true;
        },
        &error, results::ExportOpen::NoWait);
    if (!written) {
        m_status->setText(QStringLiteral("Could not export to %1: %2").arg(path, error));
        return false;
    }
    m_status->setText(QStringLiteral("Exported to %1").arg(path));
    return true;
}

bool frmCompetition::exportStandings()
{
    const Competition *shown = m_model.current();
    return shown && writeCsv(QStringLiteral("rotavex-standings.csv"), StandingsCsv(*shown));
}

bool frmCompetition::exportHeats()
{
    const Competition *shown = m_model.current();
    return shown && writeCsv(QStringLiteral("rotavex-heats.csv"), HeatsCsv(*shown));
}

bool frmCompetition::closeCompetition()
{
    const Competition *shown = m_model.current();
    return shown
        && m_confirm(this,
            QStringLiteral("Close the competition \"%1\"? It stays in the results file.")
                .arg(shown->settings.name))
        && m_model.close();
}
