// cryptdsk.sys: driver entry, dispatch table, the trivial dispatch routines
// and unload. Kernel mode only.
#include "disk_extension.h"
#include "pnp_state.h"

namespace cryptdsk {
namespace {

DRIVER_DISPATCH DispatchCreateClose;
DRIVER_DISPATCH DispatchSystemControl;
DRIVER_UNLOAD DriverUnload;

// Once the device is gone nothing new is opened; open handles still close.
NTSTATUS DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp) {
  const bool create = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CREATE;
  return CompleteRequest(
      irp, create ? NewRequestStatus(ExtensionOf(device)->PnpState) : STATUS_SUCCESS, 0);
}

NTSTATUS DispatchSystemControl(PDEVICE_OBJECT device, PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(ExtensionOf(device)->LowerDeviceObject, irp);
}

// After a plug-and-play removal the device list is already empty; anything
// left is torn down the same way removal does it.
void DriverUnload(PDRIVER_OBJECT driver) {
  PDEVICE_OBJECT device = driver->DeviceObject;
  while (device != nullptr) {
    PDEVICE_OBJECT next = device->NextDevice;
    ReleaseDeviceResources(ExtensionOf(device));
    device = next;
  }
}

}  // namespace

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace cryptdsk

extern "C" DRIVER_INITIALIZE DriverEntry;

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
  using namespace cryptdsk;
  driver->DriverExtension->AddDevice = AddDevice;
  driver->DriverUnload = DriverUnload;
  driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
  driver->MajorFunction[IRP_MJ_READ] = DispatchTransfer;
  driver->MajorFunction[IRP_MJ_WRITE] = DispatchTransfer;
  driver->MajorFunction[IRP_MJ_FLUSH_BUFFERS] = DispatchTransfer;
  driver->MajorFunction[IRP_MJ_SHUTDOWN] = DispatchShutdown;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
  driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
  driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
  return STATUS_SUCCESS;
}
