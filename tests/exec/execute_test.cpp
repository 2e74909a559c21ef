// The board number that ibbna passes for a name.
#include "exec/execute.h"

#include <gtest/gtest.h>

TEST(Execute, BoardNumbersOfIbbna) {
  struct Row {
    const char* name;
    int32_t board;
  } rows[] = {{"gpib2", 2}, {"GPIB7", 7}, {"gpib101", -1}, {"dev1", -1}, {"gpib", 0},
              {"gpib 12", 12}, {"gpib100", 100}, {"gpib99999999999999", -1}, {"gp", -1}};
  for (const Row& r : rows) EXPECT_EQ(BoardNumberFromName(r.name), r.board) << r.name;
}
