// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace results
{
class ResultsStore;
} // namespace results

namespace main_window
{

/// Before the program ends: when games or competition changes still wait to be written, tries
/// once more and, if they still cannot be, asks (modal "msgUnsavedResults") whether to try
/// again, export the games to a CSV file, end without them or go back. True when the program
/// may end.
bool MayEndWithUnsavedResults(QWidget *parent, results::ResultsStore &store);

} // namespace main_window
