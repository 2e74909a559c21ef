// The help command.
#pragma once
#include <string>
#include <vector>

// Prints help for the topic keyword, or general help when topic is null or empty.
void ShowHelp(const char* topic);

// The help file path buffer holds this many characters with the terminating zero.
constexpr int kHelpPathSize = 260;
// The page every help file opens with, and the one shown for an unknown keyword.
constexpr const char kHelpMainPage[] = "drovmain.html";

// The words "help WORD" knows: "expert", the status topics and the one-word
// keywords of the help file.
std::vector<std::string> HelpTopics();

// Builds installPath + "help/" + the help file's name (the Japanese one when
// japanese) and, when page is not null, "::/" + page into path. False when it
// does not fit; path is then empty.
bool BuildHelpPath(char (&path)[kHelpPathSize], const char* installPath, bool japanese, const char* page);
// The keyword that the help file knows for topic: the keyword table's entry
// (topics compared ignoring case), else topic itself.
const char* HelpKeyword(const char* topic);
