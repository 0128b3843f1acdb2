// SPDX-License-Identifier: MIT
#include "scores/frm_score.h"

#include "results/csv.h"
#include "results/export_target.h"
#include "results/results_store.h"
#include "scores/recent_games_model.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
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
constexpr std::array<BestList, 3> kStrengthLists { BestList::Strength30, BestList::Strength60,
    BestList::Strength90 };
const std::array<QColor, 4> kPlayerColours { QColor(0, 90, 200), QColor(210, 40, 40),
    QColor(20, 150, 60), QColor(230, 130, 0) };

QString listName(BestList list)
{
    return list == BestList::Speed ? QStringLiteral("Speed")
                                   : QStringLiteral("Strength %1 s").arg(int(list));
}

QString shortDate(const QDateTime &time)
{
    return QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

QString wholeNumber(double value) { return QLocale().toString(std::llround(value)); }

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
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    return table;
}

void setRow(QTableWidget *table, int row, const QStringList &cells, bool marked)
{
    for (int column = 0; column < cells.size(); ++column) {
        // Item text is drawn as plain text, so names never act as markup.
        auto *item = new QTableWidgetItem(cells[column]);
        if (column != 1) {
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
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
    , m_chooseFile([](QWidget *owner, const QString &suggested) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Export results"), suggested,
            QStringLiteral("CSV files (*.csv);;All files (*)"));
    })
    , m_confirm([](QWidget *owner, const QString &question) {
        return QMessageBox::question(owner, QStringLiteral("Hight Score"), question)
            == QMessageBox::Yes;
    })
{
    setObjectName(QStringLiteral("frmScore"));
    buildControls();
    reload();
    resize(1000, 640);
}

frmScore::~frmScore() = default;

void frmScore::buildControls()
{
    m_bestSpeed = makeTable(QStringLiteral("lstBestSpeed"),
        { QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("rpm"),
            QStringLiteral("Date"), QString() });
    m_strengthTabs = new QTabWidget;
    m_strengthTabs->setObjectName(QStringLiteral("tabBestStrength"));
    for (std::size_t i = 0; i < kStrengthLists.size(); ++i) {
        m_bestStrength[i] =
            makeTable(QStringLiteral("lstBestStrength%1").arg(int(kStrengthLists[i])),
                { QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("rev"),
                    QStringLiteral("mean rpm"), QStringLiteral("Date"), QString() });
        m_strengthTabs->addTab(
            m_bestStrength[i], QStringLiteral("%1 s").arg(int(kStrengthLists[i])));
    }
    m_strengthTabs->setCurrentIndex(1);

    auto *speedBox = new QGroupBox(QStringLiteral("Best Speed"));
    (new QVBoxLayout(speedBox))->addWidget(m_bestSpeed);
    auto *strengthBox = new QGroupBox(QStringLiteral("Best Strength"));
    (new QVBoxLayout(strengthBox))->addWidget(m_strengthTabs);
    auto *left = new QVBoxLayout;
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
    m_recent->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_recent->horizontalHeader()->setStretchLastSection(true);
    m_recent->setColumnWidth(scores::RecentGamesModel::Started, 130);
    m_recent->setColumnWidth(scores::RecentGamesModel::Mode, 150);
    m_recent->setColumnWidth(scores::RecentGamesModel::Seconds, 60);
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
    m_players = makeTable(QStringLiteral("lstPlayers"),
        { QStringLiteral("Player"), QStringLiteral("Name"), QStringLiteral("Port"),
            QStringLiteral("best rpm"), QStringLiteral("rev"), QStringLiteral("mean rpm") });
    m_players->setMaximumHeight(140);

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
    m_status->setWordWrap(true);

    auto *right = new QVBoxLayout;
    right->addWidget(gamesBox, 2);
    right->addWidget(m_gameCaption);
    right->addWidget(m_chart, 3);
    right->addWidget(m_players, 1);
    right->addLayout(buttons);
    right->addWidget(m_rawNames);
    right->addWidget(m_status);

    auto *root = new QHBoxLayout(this);
    root->addLayout(left, 2);
    root->addLayout(right, 3);
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
    m_recentModel->reload();
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
    const QList<results::RankEntry> entries = m_store.ranking(list, kListLength);
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
    qint32 top = 1000;
    int longest = 1;
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
        series->setColor(kPlayerColours[std::size_t(p.player - 1) % kPlayerColours.size()]);
        series->replace(points);
        series->setPointsVisible(points.size() == 1);
        // The legend draws series names as rich text.
        series->setName(scores::ShownName(p.name).toHtmlEscaped());
        chart->addSeries(series);
        series->attachAxis(seconds);
        series->attachAxis(rpm);

        const bool strength = game->mode == results::GameMode::Strength;
        setRow(m_players, row,
            { QString::number(p.player), scores::ShownName(p.name), p.port,
                QLocale().toString(p.bestRpm),
                strength && p.revolutions ? wholeNumber(*p.revolutions) : QString(),
                strength && p.meanRpm ? QLocale().toString(*p.meanRpm) : QString() },
            false);
    }
    seconds->setRange(1, std::max(2, longest));
    rpm->setRange(0, (top + 999) / 1000 * 1000);
}

bool frmScore::writeCsvFile(
    const QString &suggestedName, const std::function<bool(QIODevice &, QString *)> &write)
{
    const QString path = m_chooseFile(this, suggestedName);
    if (path.isEmpty()) {
        return false;
    }
    QString error;
    if (!results::WriteExport(
            path, m_store.filePath(), write, &error, results::ExportOpen::NoWait)) {
        m_status->setText(QStringLiteral("Could not export to %1: %2").arg(path, error));
        return false;
    }
    m_status->setText(QStringLiteral("Exported to %1").arg(path));
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
            return results::WriteCsv(device, m_store, error, style);
        });
}

results::CsvText frmScore::csvText() const
{
    return m_rawNames->isChecked() ? results::CsvText::Raw : results::CsvText::SpreadsheetSafe;
}

void frmScore::deleteSelectedGame()
{
    if (!m_shown) {
        return;
    }
    const int row = m_recentModel->rowOf(m_shown->id);
    if (!m_store.removeGame(m_shown->id)) {
        m_status->setText(QStringLiteral("Could not delete the game: %1").arg(m_store.lastError()));
        return;
    }
    m_shown.reset();
    reload();
    // Keep the place in the list: the game that moved up into the deleted one's row.
    if (row >= 0 && row < m_recentModel->rowCount()) {
        selectGame(m_recentModel->gameId(row));
    }
    m_status->setText(QStringLiteral("Game deleted."));
}

void frmScore::deleteAllGames()
{
    const int count = m_store.gameCount();
    if (!m_confirm(this,
            QStringLiteral("Delete all %1 recorded games? This cannot be undone.").arg(count))) {
        return;
    }
    if (!m_store.removeAll()) {
        m_status->setText(
            QStringLiteral("Could not delete the games: %1").arg(m_store.lastError()));
        return;
    }
    m_shown.reset();
    reload();
    m_status->setText(QStringLiteral("All games deleted."));
}
