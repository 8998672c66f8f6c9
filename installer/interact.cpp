// The interaction seam's choice of side.
#include "interact.h"

#include "switches.h"
#include "vantor-core.h"

static int mode;
static const Interaction *side;  // NULL: the attended side

int InteractChoose(const char *args) {
  ASSERT(args != NULL, POINTER_IS_NULL);
  mode = UNATTENDED_OFF;
  if (SwitchGiven(args, "-passive")) mode = UNATTENDED_PASSIVE;
  if (SwitchGiven(args, "-silent")) mode = UNATTENDED_SILENT;
  side = mode == UNATTENDED_OFF ? &InteractAttended : &InteractUnattended;
  DebugSetAbortBox(mode == UNATTENDED_OFF);
  return 1;
}

const Interaction *Interact(void) { return side != NULL ? side : &InteractAttended; }
int UnattendedMode(void) { return mode; }
