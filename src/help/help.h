// The help command.
#pragma once

// Prints help for the topic keyword, or general help when topic is null or empty.
void ShowHelp(const char* topic);
