// What the native stand-in of the window seam records for tests.
#ifndef INSTALLER_APPWIN_STANDIN_H
#define INSTALLER_APPWIN_STANDIN_H

// Number of AppSendDestroy calls so far, and the window of the last one.
int AppStandInDestroyCount(void);
void *AppStandInLastDestroyed(void);

#endif
