// SPDX-License-Identifier: MIT
#include "main_window/results_view.h"

#include "main_window/unsaved_results_prompt.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "settings/settings_store.h"
#include "widgets/tag_label.h"
#include "widgets/whole_lines.h"

#include <QMessageBox>

#include <cmath>

namespace main_window
{

using widgets::TagLabel;

ResultsView::ResultsView(results::ResultsStore *store, const results::GameRecorder &recorder,
    QWidget &window, const rotavex::PerPlayer<TagLabel *> &recordLabels)
    : m_store(store)
    , m_window(window)
    , m_recordLabels(recordLabels)
{
    QObject::connect(&recorder, &results::GameRecorder::newBest, &window,
        [this](const results::GameRecorder::NewBest &best) { markNewBest(best); });
    QObject::connect(&recorder, &results::GameRecorder::recorded, &window,
        [this](const results::GameRecord &game) { recorded(game); });
    if (m_store) {
        m_store->setChangeHandler([this] {
            showNotice();
            if (m_score) {
                m_score->reload();
            }
        });
    }
}

ResultsView::~ResultsView()
{
    if (m_store) {
        m_store->setChangeHandler({});
    }
}

bool ResultsView::mayEnd() { return !m_store || MayEndWithUnsavedResults(&m_window, *m_store); }

void ResultsView::markNewBest(const results::GameRecorder::NewBest &best)
{
    m_recordLabels[best.entry.player]->setToolTip(best.list == results::BestList::Speed
            ? QStringLiteral("New best speed: %1 rpm. See Hight Score.").arg(best.entry.bestRpm)
            : QStringLiteral("New best of Strength %1 s: %2 revolutions. See Hight Score.")
                  .arg(int(best.list))
                  .arg(std::llround(best.entry.revolutions)));
}

void ResultsView::recorded(const results::GameRecord &game)
{
    if (!m_store) {
        return;
    }
    showNotice();
    if (m_score) {
        m_score->reload();
        m_score->selectGame(game.id);
    }
}

void ResultsView::showScores()
{
    if (!m_store) {
        return;
    }
    // Another instance may have changed the file, or it may have gone since it was last read.
    m_store->refresh();
    if (m_score) {
        m_score->reload();
    } else {
        m_score = new frmScore(*m_store, &m_window);
        m_score->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_score->show();
    m_score->raise();
    m_score->activateWindow();
}

void ResultsView::showNotice()
{
    QStringList notices { settings_store::TakeStoreNotice(),
        m_store ? m_store->takeNotice() : QString() };
    notices.removeAll(QString());
    const QString notice = notices.join(u'\n');
    if (notice.isEmpty()) {
        return;
    }
    auto *box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Rotavex"), notice, QMessageBox::Ok, &m_window);
    box->setObjectName(QStringLiteral("msgResults"));
    box->setTextFormat(Qt::PlainText);
    widgets::KeepLinesWhole(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace main_window
