// Control identifiers of the overnight search window, shared with the test driver that
// finds its controls by them. The window's class is "TOvernightForm", its plot's "TPlotView".
#pragma once

inline constexpr int IdcOvernightFirst = 1100; // + the control's place in TOvernightControl
inline constexpr int IdcOvernightFolderLabel = IdcOvernightFirst + 0;
inline constexpr int IdcOvernightStrategy = IdcOvernightFirst + 1;
inline constexpr int IdcOvernightJobsAtOnce = IdcOvernightFirst + 2;
inline constexpr int IdcOvernightStopHours = IdcOvernightFirst + 3;
inline constexpr int IdcOvernightStopJobs = IdcOvernightFirst + 4;
inline constexpr int IdcOvernightCap = IdcOvernightFirst + 5;
inline constexpr int IdcOvernightVerify = IdcOvernightFirst + 6;
inline constexpr int IdcOvernightSkipFailed = IdcOvernightFirst + 7;
inline constexpr int IdcOvernightShowJobWindows = IdcOvernightFirst + 8;
inline constexpr int IdcOvernightLauncher = IdcOvernightFirst + 9;
inline constexpr int IdcOvernightStart = IdcOvernightFirst + 10;
inline constexpr int IdcOvernightStop = IdcOvernightFirst + 11;
inline constexpr int IdcOvernightResume = IdcOvernightFirst + 12;
inline constexpr int IdcOvernightReport = IdcOvernightFirst + 13;
inline constexpr int IdcOvernightFolder = IdcOvernightFirst + 14;
inline constexpr int IdcOvernightHelp = IdcOvernightFirst + 15;
inline constexpr int IdcOvernightClose = IdcOvernightFirst + 16;
inline constexpr int IdcOvernightStatus = IdcOvernightFirst + 17;
inline constexpr int IdcOvernightProgress = 1150;
inline constexpr int IdcOvernightPlot = 1151;
inline constexpr int IdcOvernightJobList = 1152;
