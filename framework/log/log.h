// The diagnostic log "results.log" in the per-user data folder. Each line is
// appended by opening, writing and closing the file, so the log is complete
// even when the process dies. Trace lines appear only with "-trace", version
// lines only with "-ver".
#pragma once

#include <string>

// --- Module lifecycle ---------------------------------------------------
void LogStart();
void LogStop();

// --- Lines ----------------------------------------------------------------
void LogMessage(const std::string& line);       // header first if not yet written
void LogError(const std::string& message);      // "Error: " + message
void LogTrace(const std::string& line);         // only with "-trace"
void LogTraceBegin(const std::string& prefix);  // prefix + "Begin", then indent
void LogTraceEnd(const std::string& prefix);    // unindent, then prefix + "End"
void LogVersion(const std::string& line);       // only with "-ver"

// --- File and folder ------------------------------------------------------
std::string LogGetFileName();
void LogSetFileName(const std::string& name);
void LogSetFolder(const std::string& folder);

// --- Platform errors ------------------------------------------------------
// The platform's text for the last error, or "Unrecognized windows error
// code: " + the code when it has none.
std::string LogWindowsErrorText();
