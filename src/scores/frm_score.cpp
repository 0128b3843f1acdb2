// SPDX-License-Identifier: MIT
#include "scores/frm_score.h"

#include "results/csv.h"
#include "results/export_target.h"
#include "results/results_store.h"
#include "scores/chart_axis.h"
#include "scores/recent_games_model.h"
#include "scores/score_text.h"
#include "settings/settings_store.h"
#include "shared/bgr_colour.h"
#include "widgets/focus_ring.h"
#include "widgets/remembered_place.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

using results::BestList;

namespace
{

constexpr int kListLength = 10;
constexpr QSize kDefaultSize(1000, 640);
constexpr QSize kSmallestRememberedSize(400, 300);
// Names longer than this many average characters are cut with "…" (the tooltip has them whole).
constexpr int kNameColumnChars = 20;
constexpr std::array<BestList, 3> kStrengthLists { BestList::Strength30, BestList::Strength60,
    BestList::Strength90 };

QString listName(BestList list)
{
    return list == BestList::Speed ? QStringLiteral("Speed")
                                   : QStringLiteral("Strength %1 s").arg(int(list));
}

QString shortDate(const QDateTime &time)
{
    return score_text::CompactDate(time, QDateTime::currentDateTime(), QLocale());
}

QSize storedSize()
{
    namespace places = settings_store::window_places;
    const QSize size(int(settings_store::Read(places::kScoreWidth)),
        int(settings_store::Read(places::kScoreHeight)));
    return size.expandedTo(kSmallestRememberedSize) == size ? size : kDefaultSize;
}

QString wholeNumber(double value) { return QLocale().toString(std::llround(value)); }

// Rows one line of text high, so a list of ten reads without scrolling.
void compactRows(QTableView *table)
{
    const int height = table->fontMetrics().height() + 6;
    table->verticalHeader()->setMinimumSectionSize(height);
    table->verticalHeader()->setDefaultSectionSize(height);
}

QTableWidget *makeTable(const QString &objectName, const QStringList &headers)
{
    auto *table = new QTableWidget(0, int(headers.size()));
    table->setObjectName(objectName);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves on to the next control; the arrow keys move within the list.
    table->setTabKeyNavigation(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table->setAccessibleName(objectName);
    compactRows(table);
    return table;
}

void setRow(QTableWidget *table, int row, const QStringList &cells, bool marked)
{
    for (int column = 0; column < cells.size(); ++column) {
        // Item text is drawn as plain text, so names never act as markup.
        auto *item = new QTableWidgetItem(cells[column]);
        if (column != 1) {
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        } else {
            // A name cut short by its column is whole in the tooltip.
            item->setToolTip(scores::ToolTip(cells[column]));
        }
        if (marked) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
        }
        table->setItem(row, column, item);
    }
}

} // namespace

frmScore::frmScore(results::ResultsStore &store, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_deletion(store)
    , m_chooseFile([](QWidget *owner, const QString &suggested) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Export results"), suggested,
            QStringLiteral("CSV files (*.csv);;All files (*)"));
    })
    , m_confirm([](QWidget *owner, const QString &question) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Hight Score"), question,
            QMessageBox::Yes | QMessageBox::No, owner);
        box.setObjectName(QStringLiteral("msgDeleteAll"));
        box.setTextFormat(Qt::PlainText);
        // Wiping the history takes a deliberate Yes: Enter and Escape both keep it.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    })
{
    setObjectName(QStringLiteral("frmScore"));
    buildControls();
    buildTabOrder();
    widgets::FocusRing::install(this);
    m_bestSpeed->setFocus(); // where the screen order begins
    reload();
    m_storedSize = storedSize();
    resize(m_storedSize);
    new widgets::RememberedPlace(*this, settings_store::window_places::kScore);
    // A window to look something up in: Escape puts it away, as it does a dialog.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
        &QWidget::close);
}

frmScore::~frmScore()
{
    finishDeletion();
    if (!isMaximized() && !isFullScreen() && size() != m_storedSize) {
        // The board works on without the setting; it just opens at its first size next time.
        settings_store::Write(settings_store::window_places::kScoreWidth, width());
        settings_store::Write(settings_store::window_places::kScoreHeight, height());
    }
}

void frmScore::closeEvent(QCloseEvent *event)
{
    finishDeletion();
    QWidget::closeEvent(event);
}

void frmScore::buildControls()
{
    m_bestSpeed = makeTable(QStringLiteral("lstBestSpeed"),
        { QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("rpm"),
            QStringLiteral("Date"), QStringLiteral("New") });
    m_strengthTabs = new QTabWidget;
    m_strengthTabs->setObjectName(QStringLiteral("tabBestStrength"));
    for (std::size_t i = 0; i < kStrengthLists.size(); ++i) {
        m_bestStrength[i] =
            makeTable(QStringLiteral("lstBestStrength%1").arg(int(kStrengthLists[i])),
                { QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("rev"),
                    QStringLiteral("mean rpm"), QStringLiteral("Date"), QStringLiteral("New") });
        m_strengthTabs->addTab(
            m_bestStrength[i], QStringLiteral("%1 s").arg(int(kStrengthLists[i])));
    }
    m_strengthTabs->setCurrentIndex(1);

    auto *speedBox = new QGroupBox(QStringLiteral("Best Speed"));
    (new QVBoxLayout(speedBox))->addWidget(m_bestSpeed);
    auto *strengthBox = new QGroupBox(QStringLiteral("Best Strength"));
    (new QVBoxLayout(strengthBox))->addWidget(m_strengthTabs);
    // Two panels, so the keyboard and assistive technology go through the lists on the left
    // before the games on the right, as the eye does.
    auto *leftPanel = new QWidget;
    leftPanel->setObjectName(QStringLiteral("pnlBest"));
    auto *left = new QVBoxLayout(leftPanel);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(speedBox);
    left->addWidget(strengthBox);

    m_recentModel = new scores::RecentGamesModel(m_store, this);
    m_recent = new QTableView;
    m_recent->setObjectName(QStringLiteral("lstGames"));
    m_recent->setModel(m_recentModel);
    m_recent->verticalHeader()->hide();
    m_recent->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recent->setSelectionMode(QAbstractItemView::SingleSelection);
    m_recent->setWordWrap(false);
    m_recent->setAccessibleName(QStringLiteral("Games, newest first"));
    m_recent->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_recent->setTabKeyNavigation(false);
    compactRows(m_recent);
    m_recent->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_recent->horizontalHeader()->setStretchLastSection(true);
    connect(m_recent->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) {
            const qint64 id = m_recentModel->gameId(current.row());
            showGame(id ? m_store.game(id) : std::nullopt);
        });
    auto *gamesBox = new QGroupBox(QStringLiteral("Games, newest first"));
    (new QVBoxLayout(gamesBox))->addWidget(m_recent);

    m_gameCaption = new QLabel;
    m_gameCaption->setObjectName(QStringLiteral("lblGame"));
    m_gameCaption->setTextFormat(Qt::PlainText);
    auto *chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart = new QChartView(chart);
    m_chart->setObjectName(QStringLiteral("chtGame"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(200);
    // The chart shows, it takes no input: no Tab stop.
    m_chart->setFocusPolicy(Qt::NoFocus);
    m_chart->setAccessibleName(QStringLiteral("Chart of the selected game"));
    m_players = makeTable(QStringLiteral("lstPlayers"),
        { QStringLiteral("Player"), QStringLiteral("Name"), QStringLiteral("Port"),
            QStringLiteral("best rpm"), QStringLiteral("rev"), QStringLiteral("mean rpm") });
    m_players->setMaximumHeight(140);
    m_bestSpeed->setAccessibleName(QStringLiteral("Best Speed"));
    for (std::size_t i = 0; i < kStrengthLists.size(); ++i) {
        m_bestStrength[i]->setAccessibleName(
            QStringLiteral("Best Strength %1 s").arg(int(kStrengthLists[i])));
    }
    m_players->setAccessibleName(QStringLiteral("Players of the selected game"));

    m_exportGame = new QPushButton(QStringLiteral("Export game…"));
    m_exportGame->setObjectName(QStringLiteral("cmdExportGame"));
    m_exportAll = new QPushButton(QStringLiteral("Export all…"));
    m_exportAll->setObjectName(QStringLiteral("cmdExportAll"));
    m_deleteGame = new QPushButton(QStringLiteral("Delete game"));
    m_deleteGame->setObjectName(QStringLiteral("cmdDeleteGame"));
    m_deleteAll = new QPushButton(QStringLiteral("Delete all…"));
    m_deleteAll->setObjectName(QStringLiteral("cmdDeleteAll"));
    connect(m_exportGame, &QPushButton::clicked, this, &frmScore::exportSelectedGame);
    connect(m_exportAll, &QPushButton::clicked, this, &frmScore::exportAllGames);
    connect(m_deleteGame, &QPushButton::clicked, this, &frmScore::deleteSelectedGame);
    connect(m_deleteAll, &QPushButton::clicked, this, &frmScore::deleteAllGames);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : { m_exportGame, m_exportAll, m_deleteGame, m_deleteAll }) {
        buttons->addWidget(button);
    }
    m_rawNames = new QCheckBox(QStringLiteral("Export names exactly as typed"));
    m_rawNames->setObjectName(QStringLiteral("chkRawNames"));
    m_rawNames->setToolTip(QStringLiteral(
        "Off: a name that begins with =, +, -, @, a tab or a carriage return is written with an "
        "apostrophe in front, so a spreadsheet shows it instead of running it as a formula."));
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    // One line that never breaks inside a path; a long one is whole in the tooltip, and it
    // never widens the window.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->setAccessibleName(QStringLiteral("Status"));
    m_undo = new QPushButton(QStringLiteral("Undo"));
    m_undo->setObjectName(QStringLiteral("cmdUndo"));
    m_undo->setAccessibleName(QStringLiteral("Undo the deletion"));
    m_undo->hide();
    connect(m_undo, &QPushButton::clicked, this, &frmScore::undoDeletion);
    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_undo);

    auto *rightPanel = new QWidget;
    rightPanel->setObjectName(QStringLiteral("pnlGames"));
    auto *right = new QVBoxLayout(rightPanel);
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(gamesBox, 2);
    right->addWidget(m_gameCaption);
    right->addWidget(m_chart, 3);
    right->addWidget(m_players, 1);
    right->addLayout(buttons);
    right->addWidget(m_rawNames);
    right->addLayout(statusRow);

    // The lists on the left take the width their columns need; the games and the chart the rest.
    auto *root = new QHBoxLayout(this);
    root->addWidget(leftPanel, 0);
    root->addWidget(rightPanel, 1);
}

void frmScore::buildTabOrder()
{
    // Screen order: the lists on the left top to bottom, then the right column top to bottom,
    // the buttons left to right and Undo at the end of the status line.
    QList<QWidget *> order { m_bestSpeed, m_strengthTabs->tabBar() };
    for (QTableWidget *table : m_bestStrength) {
        order << table;
    }
    order << m_recent << m_players << m_exportGame << m_exportAll << m_deleteGame << m_deleteAll
          << m_rawNames << m_undo << m_bestSpeed; // and round again
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void frmScore::fitColumns(QTableView *table, int nameColumn)
{
    QHeaderView *header = table->horizontalHeader();
    const QFontMetrics metrics(table->font());
    int total = 0;
    for (int column = 0; column < header->count(); ++column) {
        const QAbstractItemView *view = table; // the hint is public only here
        int needed = std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
        if (column == nameColumn) {
            // Every ordinary name whole; only a really long one is cut, whole in its tooltip.
            needed = std::min(needed, metrics.averageCharWidth() * kNameColumnChars);
        }
        total += needed;
    }
    // Room for the columns beside the scroll bar, so nothing is cut or scrolled out of sight.
    table->setMinimumWidth(total + 2 * table->frameWidth()
        + table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table) + 2);
}

void frmScore::reload()
{
    const std::optional<qint64> selected = selectedGame();
    QStringList newBests;
    for (const BestList list :
        { BestList::Speed, BestList::Strength30, BestList::Strength60, BestList::Strength90 }) {
        if (fillRanking(list)) {
            newBests.append(listName(list));
        }
    }
    // Show a preset that has results (or a new best) rather than an empty list.
    int shownTab = m_strengthTabs->currentIndex();
    for (int i = int(kStrengthLists.size()) - 1; i >= 0; --i) {
        if (newBests.contains(listName(kStrengthLists[std::size_t(i)]))) {
            shownTab = i;
        } else if (m_bestStrength[std::size_t(shownTab)]->rowCount() == 0
            && m_bestStrength[std::size_t(i)]->rowCount() > 0) {
            shownTab = i;
        }
    }
    m_strengthTabs->setCurrentIndex(shownTab);
    m_recentModel->setHiddenGame(m_deletion.hidden());
    m_recentModel->reload();
    fitColumns(m_recent, scores::RecentGamesModel::Players);
    const bool any = m_recentModel->rowCount() > 0;
    m_exportAll->setEnabled(any);
    m_deleteAll->setEnabled(any);
    if (!(selected && selectGame(*selected)) && !(any && selectGame(m_recentModel->gameId(0)))) {
        showGame(std::nullopt);
    }
    updateTitle(newBests);
}

bool frmScore::fillRanking(BestList list)
{
    // A game waiting for its deletion is left out.
    const QList<results::RankEntry> entries = m_deletion.ranking(list, kListLength);
    QTableWidget *table = list == BestList::Speed
        ? m_bestSpeed
        : m_bestStrength[std::size_t(std::find(kStrengthLists.begin(), kStrengthLists.end(), list)
            - kStrengthLists.begin())];
    table->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const results::RankEntry &e = entries[row];
        const bool marked = m_store.isNewBest(list, e.gameId, e.player);
        const QString mark = marked ? QStringLiteral("NEW") : QString();
        if (list == BestList::Speed) {
            setRow(table, row,
                { QString::number(row + 1), scores::ShownName(e.name),
                    QLocale().toString(e.bestRpm), shortDate(e.startedAt), mark },
                marked);
        } else {
            setRow(table, row,
                { QString::number(row + 1), scores::ShownName(e.name), wholeNumber(e.revolutions),
                    QLocale().toString(e.meanRpm), shortDate(e.startedAt), mark },
                marked);
        }
    }
    fitColumns(table, 1);
    return !entries.isEmpty()
        && m_store.isNewBest(list, entries.first().gameId, entries.first().player);
}

void frmScore::updateTitle(const QStringList &newBests)
{
    setWindowTitle(newBests.isEmpty() ? QStringLiteral("Hight Score")
                                      : QStringLiteral("Hight Score - new best: %1")
                                            .arg(newBests.join(QStringLiteral(", "))));
}

bool frmScore::selectGame(qint64 id)
{
    const int row = m_recentModel->rowOf(id);
    if (row < 0) {
        return false;
    }
    m_recent->setCurrentIndex(m_recentModel->index(row, 0));
    // The same row again after a reload: the signal does not fire, so draw it here.
    if (!m_shown || m_shown->id != id) {
        showGame(m_store.game(id));
    }
    return true;
}

std::optional<qint64> frmScore::selectedGame() const
{
    return m_shown ? std::optional<qint64>(m_shown->id) : std::nullopt;
}

void frmScore::showGame(const std::optional<results::GameRecord> &game)
{
    m_shown = game;
    m_exportGame->setEnabled(game.has_value());
    m_deleteGame->setEnabled(game.has_value());
    QChart *chart = m_chart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    m_players->setRowCount(0);
    if (!game) {
        m_gameCaption->setText(QStringLiteral("No game selected"));
        return;
    }
    m_gameCaption->setText(
        QStringLiteral("%1, %2, %3 s")
            .arg(shortDate(game->startedAt),
                scores::ModeCaption(game->mode, game->presetSeconds, game->complete))
            .arg(game->ticks));

    auto *seconds = new QValueAxis;
    seconds->setLabelFormat(QStringLiteral("%d"));
    seconds->setTitleText(QStringLiteral("s"));
    auto *rpm = new QValueAxis;
    rpm->setLabelFormat(QStringLiteral("%d"));
    rpm->setTitleText(QStringLiteral("rpm"));
    chart->addAxis(seconds, Qt::AlignBottom);
    chart->addAxis(rpm, Qt::AlignLeft);
    qint32 top = 0;
    int longest = 0;
    m_players->setRowCount(int(game->players.size()));
    for (int row = 0; row < game->players.size(); ++row) {
        const results::PlayerResult &p = game->players[row];
        QList<QPointF> points;
        points.reserve(p.samples.size());
        for (int i = 0; i < p.samples.size(); ++i) {
            points.append(QPointF(i + 1, p.samples[i]));
            top = std::max(top, p.samples[i]);
        }
        longest = std::max(longest, int(p.samples.size()));
        auto *series = new QLineSeries;
        series->setColor(rotavex::ColourFromBgr(rotavex::kPlayerColours[p.player]));
        series->replace(points);
        series->setPointsVisible(points.size() == 1);
        // The legend draws series names as rich text.
        series->setName(scores::ShownName(p.name).toHtmlEscaped());
        chart->addSeries(series);
        series->attachAxis(seconds);
        series->attachAxis(rpm);

        const bool strength = game->mode == rotavex::PlayMode::Strength;
        setRow(m_players, row,
            { QString::number(p.player), scores::ShownName(p.name), p.port,
                QLocale().toString(p.bestRpm),
                strength && p.revolutions ? wholeNumber(*p.revolutions) : QString(),
                strength && p.meanRpm ? QLocale().toString(*p.meanRpm) : QString() },
            false);
    }
    // Round steps on both axes (1, 2 or 5 times a power of ten), whole seconds even in a game
    // of one or two seconds.
    const chart_axis::RoundAxis x = chart_axis::SecondsAxis(longest);
    seconds->setRange(double(x.min), double(x.max));
    seconds->setTickCount(x.tickCount());
    const chart_axis::RoundAxis y = chart_axis::RpmAxis(top);
    rpm->setRange(double(y.min), double(y.max));
    rpm->setTickCount(y.tickCount());
    fitColumns(m_players, 1);
}

bool frmScore::writeCsvFile(
    const QString &suggestedName, const std::function<bool(QIODevice &, QString *)> &write)
{
    const QString path = m_chooseFile(this, results::SuggestedExportPath(suggestedName));
    if (path.isEmpty()) {
        return false;
    }
    results::RememberExportFolder(path);
    QString error;
    if (!results::WriteExport(
            path, m_store.filePath(), write, &error, results::ExportOpen::NoWait)) {
        setStatus(QStringLiteral("Could not export to %1: %2").arg(path, error));
        return false;
    }
    setStatus(QStringLiteral("Exported to %1").arg(path));
    return true;
}

void frmScore::exportSelectedGame()
{
    if (!m_shown) {
        return;
    }
    const results::GameRecord game = *m_shown;
    writeCsvFile(QStringLiteral("rotavex-game-%1.csv").arg(game.id),
        [&game, style = csvText()](QIODevice &device, QString *error) {
            return results::WriteCsv(device, { game }, error, style);
        });
}

void frmScore::exportAllGames()
{
    writeCsvFile(QStringLiteral("rotavex-results.csv"),
        [this, style = csvText()](QIODevice &device, QString *error) {
            if (!m_deletion.hidden()) {
                return results::WriteCsv(device, m_store, error, style);
            }
            // The export holds what the board shows: not the game waiting for its deletion.
            QList<results::GameRecord> games;
            if (!m_deletion.forEachGame([&games](const results::GameRecord &game) {
                    games.append(game);
                    return true;
                })) {
                if (error) {
                    *error = m_store.lastError();
                }
                return false;
            }
            return results::WriteCsv(device, games, error, style);
        });
}

results::CsvText frmScore::csvText() const
{
    return m_rawNames->isChecked() ? results::CsvText::Raw : results::CsvText::SpreadsheetSafe;
}

void frmScore::setStatus(const QString &text, bool undoable)
{
    m_status->setText(text);
    m_status->setToolTip(text.isEmpty() ? QString() : scores::ToolTip(text));
    m_status->setAccessibleName(text.isEmpty() ? QStringLiteral("Status") : text);
    m_undo->setVisible(undoable);
}

void frmScore::finishDeletion()
{
    if (!m_deletion.hidden()) {
        return;
    }
    m_recentModel->setHiddenGame(std::nullopt);
    m_undo->hide();
    if (!m_deletion.finish()) {
        setStatus(QStringLiteral("Could not delete the game: %1").arg(m_store.lastError()));
        reload();
    }
}

void frmScore::deleteSelectedGame()
{
    if (!m_shown) {
        return;
    }
    // One deletion can be undone: the one before leaves the file now.
    finishDeletion();
    const results::GameRecord gone = *m_shown;
    const int row = m_recentModel->rowOf(gone.id);
    m_deletion.remove(gone.id);
    m_shown.reset();
    reload();
    // Keep the place in the list: the game that moved up into the deleted one's row.
    const int rows = m_recentModel->rowCount();
    if (rows > 0) {
        selectGame(m_recentModel->gameId(std::clamp(row, 0, rows - 1)));
    }
    setStatus(QStringLiteral("Deleted the game of %1 (%2).")
                  .arg(shortDate(gone.startedAt),
                      scores::ModeCaption(gone.mode, gone.presetSeconds, gone.complete)),
        true);
}

void frmScore::undoDeletion()
{
    const std::optional<qint64> back = m_deletion.undo();
    if (!back) {
        return;
    }
    reload();
    selectGame(*back);
    setStatus(QStringLiteral("The deleted game is back."));
}

void frmScore::deleteAllGames()
{
    const int count = m_deletion.gameCount();
    const QString question = count == 1
        ? QStringLiteral("Delete the 1 recorded game? This cannot be undone.")
        : QStringLiteral("Delete all %1 recorded games? This cannot be undone.").arg(count);
    if (!m_confirm(this, question)) {
        return;
    }
    if (!m_deletion.removeAll()) {
        setStatus(QStringLiteral("Could not delete the games: %1").arg(m_store.lastError()));
        return;
    }
    m_shown.reset();
    reload();
    setStatus(QStringLiteral("All games deleted."));
}
