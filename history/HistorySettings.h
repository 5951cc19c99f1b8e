// Where the scan history is kept and what the user chooses of it: the file in
// the data folder, and the keys of settings.ini (section "Settings").
#pragma once

#include <QString>

inline constexpr char kHistoryFileName[] = "history.sqlite";
inline constexpr char kHistorySettingsSection[] = "Settings";
// "1" (or missing): every code read in the window is recorded; "0": none.
inline constexpr char kKeepHistoryKey[] = "KeepHistory";
// The most entries kept; the oldest go first. "0": no limit.
inline constexpr char kHistoryLimitKey[] = "HistoryLimit";
inline constexpr int kDefaultHistoryLimit = 10000;

// The limit a HistoryLimit value gives: a whole number from 0 up (blanks
// around it allowed); anything else (empty, negative, not a number, past
// what an int holds) is the default.
int HistoryLimitFromSetting(const QString& value);

// Whether a KeepHistory value keeps the history: anything but "0" does.
bool KeepHistoryFromSetting(const QString& value);
