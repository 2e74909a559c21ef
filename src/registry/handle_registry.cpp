// The handle registry: an ordered map of names to driver handles.
#include "registry/handle_registry.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <new>

#include "core/messages.h"
#include "platform/console.h"

std::string savedName;
int32_t savedValue = 0;

namespace {
using Registry = std::map<std::string, int32_t>;
Registry registry;
Registry::iterator current = registry.end();
bool selected = false;
std::string boardLabel;
int32_t deviceCounter = 0;

constexpr int kTitleSize = 260;

// A copy of the prompt name for threads other than the command loop's.
std::mutex snapshotMutex;
std::string nameSnapshot;

void SelectEntry(Registry::iterator entry, bool any) {
  current = entry;
  selected = any;
  {
    std::lock_guard lock(snapshotMutex);
    try {
      nameSnapshot = CurrentName();
    } catch (const std::bad_alloc&) {
      nameSnapshot.clear();
    }
  }
  char title[kTitleSize];
  // snprintf keeps a very long name within the title buffer.
  if (selected)
    std::snprintf(title, sizeof title, "%s - %s", kMessages[MSG_TITLE], CurrentName());
  else
    std::snprintf(title, sizeof title, "%s", kMessages[MSG_TITLE]);
  SetConsoleTitle(title);
}
}  // namespace

int32_t CurrentHandle() { return selected ? current->second : -1; }

const char* CurrentName() {
  if (!selected) return "";
  if (current->first == kBoardKey) return boardLabel.c_str();
  return current->first.c_str();
}

std::string CurrentNameSnapshot() {
  std::lock_guard lock(snapshotMutex);
  return nameSnapshot;
}

const char* CurrentKey() { return selected ? current->first.c_str() : nullptr; }

std::vector<std::string> OpenNames() {
  std::vector<std::string> names;
  for (const auto& entry : registry) names.push_back(entry.first);
  return names;
}

bool RegisterNamed(int32_t handle, const char* name) {
  if (!name) return false;
  try {
    auto [entry, inserted] = registry.insert_or_assign(std::string(name), handle);
    (void)inserted;
    SelectEntry(entry, true);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool RegisterDevice(int32_t handle) {
  const int32_t n = deviceCounter++;
  char name[24];
  std::snprintf(name, sizeof name, "ud%d", n);
  return RegisterNamed(handle, name);
}

bool SelectByName(const char* name) {
  if (!name) return false;
  try {
    auto entry = registry.find(std::string(name));
    SelectEntry(entry, entry != registry.end());
  } catch (const std::bad_alloc&) {
    SelectEntry(registry.end(), false);
  }
  return selected;
}

bool SelectBoard(int32_t boardIndex) {
  if (boardIndex < 0) return false;
  try {
    auto [entry, inserted] = registry.insert_or_assign(std::string(kBoardKey), boardIndex);
    (void)inserted;
    boardLabel = "488.2 (" + std::to_string(boardIndex) + ")";
    SelectEntry(entry, true);
    return true;
  } catch (const std::bad_alloc&) {
    SelectEntry(registry.end(), false);
    return false;
  }
}

void RemoveCurrent() {
  if (selected) registry.erase(current);
  SelectEntry(registry.end(), false);
}

void SelectNone() { SelectEntry(registry.end(), false); }

void ResetRegistry() {
  registry.clear();
  current = registry.end();
  selected = false;
  boardLabel.clear();
  deviceCounter = 0;
  savedName.clear();
  savedValue = 0;
  std::lock_guard lock(snapshotMutex);
  nameSnapshot.clear();
}
