// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QStringList>
#include <QWidget>

#include <functional>

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
class RunningCompetition;
class HeatConsole;
} // namespace competition
namespace widgets
{
class RememberedPlace;
}

/// The competition window: creating a competition, its roster (add, rename, retire at any
/// time), the heats, calling the next heat or a redo, swaps, the standings and CSV export.
/// It shows the competition model and sends it the organiser's commands; it keeps no state of
/// the competition itself and plays nothing.
class frmCompetition : public QWidget
{
    Q_OBJECT
public:
    /// `model` must outlive the window.
    explicit frmCompetition(competition::RunningCompetition &model, QWidget *parent = nullptr);
    ~frmCompetition() override;

    /// The competition the window shows.
    competition::RunningCompetition &model() const { return m_model; }

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

public Q_SLOTS:
    /// Creates a competition from the form; false (with a message) when the form is incomplete.
    bool createCompetition();
    bool callNextHeat();
    bool callRedo();
    bool addPlayers(const QString &roster);
    bool retireSelectedPlayer();
    bool swapPlayers();
    bool setRankingRule(competition::RankingRule rule);
    bool exportStandings();
    bool exportHeats();
    /// Closes the competition (after asking); it stays in the file with its results.
    bool closeCompetition();

private:
    void buildCreatePage(QWidget *page);
    void buildRunPage(QWidget *page);
    void showCompetition();
    void showCalledHeat();
    void fillRoster();
    void fillHeats();
    void fillStandings();
    void fillSwap();
    void fillRules(QComboBox *box, rotavex::PlayMode gameKind, competition::RankingRule chosen);
    void updateButtons();
    void renamed(QListWidgetItem *item);
    bool writeCsv(const QString &suggestedName, const QString &text);

    competition::RunningCompetition &m_model;
    bool m_filling = false;
    /// A change of the ranking rule refreshes the standings alone.
    bool m_standingsOnly = false;

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
