// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "competition/heat_game.h"
#include "results/game_record.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;

namespace competition
{
class CompetitionStore;
class HeatConsole;
} // namespace competition
namespace widgets
{
class RememberedPlace;
}

/// The competition window: creating a competition, its roster (add, rename, retire at any
/// time), the heats, calling the next heat or a redo, swaps, the standings and CSV export.
/// It resumes the competition left open in the store. It plays nothing itself: it announces
/// the called heat and takes the result of the game that follows.
class frmCompetition : public QWidget
{
    Q_OBJECT
public:
    /// `store` must outlive the window.
    explicit frmCompetition(competition::CompetitionStore &store, QWidget *parent = nullptr);
    ~frmCompetition() override;

    /// Asks for a file to save CSV into; "" cancels. Defaults to a save-file dialog.
    using FileChooser = std::function<QString(QWidget *parent, const QString &suggestedName)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    /// Asks before the competition is closed; false cancels. Defaults to a question box.
    using Confirmation = std::function<bool(QWidget *parent, const QString &question)>;
    void setConfirmation(Confirmation confirm) { m_confirm = std::move(confirm); }

    /// Where the window is kept between showings and runs.
    widgets::RememberedPlace &place() const { return *m_place; }

    /// The heat console at the top of the running competition's page.
    competition::HeatConsole &console() const { return *m_console; }
    /// Whether the called heat is the last one played again.
    bool redoCalled() const { return m_redo; }

    /// The competition shown, nullptr when none is open.
    const competition::Competition *current() const;
    /// The heat called and waiting for its game, if any.
    std::optional<int> calledHeat() const { return m_called; }

public Q_SLOTS:
    /// Creates a competition from the form; false (with a message) when the form is incomplete.
    bool createCompetition();
    /// Calls the next heat: heatCalled() with its names.
    bool callNextHeat();
    /// Calls the last played heat again; its next result becomes a new attempt.
    bool callRedo();
    /// The game played for the called heat ended: its result becomes the heat's. A game
    /// without a called heat is not the competition's and is ignored.
    void takeGame(const results::GameRecord &game, const competition::OpenLinks &openAtStart);
    bool addPlayers(const QString &roster);
    bool retireSelectedPlayer();
    bool swapPlayers();
    /// Changes the ranking rule of the competition shown; refused once a heat is played.
    bool setRankingRule(competition::RankingRule rule);
    bool exportStandings();
    bool exportHeats();
    /// Closes the competition (after asking); it stays in the file with its results.
    bool closeCompetition();

Q_SIGNALS:
    /// A heat was called: the names at devices 1..4 ("" for a free device), "Heat n of m" and
    /// "Next: …" (empty after the last heat).
    void heatCalled(const QStringList &names, const QString &title, const QString &onDeck);
    /// The standings or the heats changed (a result, a roster change).
    void competitionChanged();
    /// The competition was closed; the board's own names apply again.
    void competitionClosed();

private:
    void buildCreatePage(QWidget *page);
    void buildRunPage(QWidget *page);
    void showCompetition();
    void fillRoster();
    void fillHeats();
    void fillStandings();
    void fillSwap();
    void fillRules(QComboBox *box, rotavex::PlayMode scoring, competition::RankingRule chosen);
    void updateButtons();
    bool save(const QString &what);
    void renamed(QListWidgetItem *item);
    bool writeCsv(const QString &suggestedName, const QString &text);

    competition::CompetitionStore &m_store;
    std::optional<competition::Competition> m_competition;
    std::optional<int> m_called;
    bool m_redo = false;
    bool m_filling = false;

    QStackedWidget *m_pages = nullptr;
    QLineEdit *m_name = nullptr;
    QComboBox *m_game = nullptr;
    QComboBox *m_seconds = nullptr;
    QSpinBox *m_rounds = nullptr;
    QComboBox *m_ranking = nullptr;
    QPlainTextEdit *m_roster = nullptr;
    QPushButton *m_create = nullptr;

    QLabel *m_title = nullptr;
    competition::HeatConsole *m_console = nullptr;
    QListWidget *m_players = nullptr;
    QPlainTextEdit *m_add = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_retire = nullptr;
    QTableWidget *m_heats = nullptr;
    QGroupBox *m_standingsBox = nullptr;
    QComboBox *m_rankedBy = nullptr;
    QTableWidget *m_standings = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_redoButton = nullptr;
    QComboBox *m_swapOut = nullptr;
    QComboBox *m_swapIn = nullptr;
    QPushButton *m_swap = nullptr;
    QPushButton *m_exportStandings = nullptr;
    QPushButton *m_exportHeats = nullptr;
    QPushButton *m_close = nullptr;
    QLabel *m_status = nullptr;
    widgets::RememberedPlace *m_place = nullptr;
    FileChooser m_chooseFile;
    Confirmation m_confirm;
};
