/* Asks the simulated meter who it is. */
#include <stdio.h>
#include <vexon.h>

int main(void) {
  char id[100] = {0};
  int dmm = ibfind("dmm");
  ibwrt(dmm, "*IDN?\n", 6);
  ibrd(dmm, id, sizeof id - 1);
  printf("%s", id);
  return (Ibsta() & ERR) ? 1 : 0;
}
