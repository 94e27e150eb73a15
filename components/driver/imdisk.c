/* The driver behind the "ImDisk" service.
 *
 * It only has to load and unload: the control program does its work in user
 * mode and asks the service manager whether this driver runs, so a loaded
 * driver is all the service's state has to mean. */
#include <ntddk.h>

static VOID NTAPI Unload(PDRIVER_OBJECT driver) { (void)driver; }

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
  (void)registry_path;
  /* Without an unload routine the service could never be stopped. */
  driver->DriverUnload = Unload;
  return STATUS_SUCCESS;
}
