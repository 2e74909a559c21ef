// The help viewer of the terminal: it shows pages of a help file on the
// console the way a help window would show them.
#pragma once

// What a keyword request asks of the viewer.
struct KeywordRequest {
  const char* keywords;  // one or more keywords, separated by ';'
  const char* url;       // page shown when no keyword is found; may be null
  const char* msgText;   // message shown when no keyword is found and there is no url; may be null
  const char* msgTitle;  // its caption; may be null
  const char* window;    // the window the page is meant for; the console is the only one
  bool indexOnFail;      // list the file's keywords when nothing else is shown
};

// Opens the help file named by location, "file" or "file::/page". With a
// page, prints that page; the file alone is only opened. False, meaning no
// window, when the file cannot be opened.
bool DisplayHelpTopic(const char* location);
// Prints the topic that carries the first of the request's keywords that the
// file knows, or what the request asks for when none is known. False when
// the file cannot be opened.
bool LookUpHelpKeyword(const char* file, const KeywordRequest& request);
