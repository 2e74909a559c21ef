// The file of command lines kept between sessions: where it lives, loading
// it, appending to it. Several vorels may share it at once.
#pragma once
#include <string>
#include <vector>

// The history file's path: stateHome/vorel/history, or
// home/.local/state/vorel/history when stateHome is null or empty. Empty
// when neither is known.
std::string HistoryFilePath(const char* stateHome, const char* home);

// Creates the file's folder when missing and reads its last `keep` lines
// into lines; a file holding more is cut to those lines. A missing file is
// an empty history. False, with the reason in error, when the file cannot be
// read or cut; lines then holds what could be read.
bool LoadHistoryFile(const std::string& path, size_t keep, std::vector<std::string>& lines, std::string& error);

// Appends line and a line end in one write, under the file's lock.
bool AppendHistoryLine(const std::string& path, const std::string& line, std::string& error);
