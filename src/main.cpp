// karsvren: gives the music files that "KARSV.txt" lists readable names.
#include "failure/guard.h"
#include "run/renaming_run.h"

int main() {
  const int exitCode = karsvren::RunGuarded(&karsvren::RenamingRun);
  karsvren::ProgramEnd(exitCode);
  return exitCode;
}
