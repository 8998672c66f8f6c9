// The script's flow: BREAK pauses the run (the run loop tells it apart from
// a failure by its keyword and resumes after it at the next step).
#include "command.h"
#include "handler-check.h"

int CmdBreak(InstallScript *script, char *args, int32_t *consumed) {
  HANDLER_CHECK(script, args, consumed);
  *consumed = 0;
  return 0;
}
