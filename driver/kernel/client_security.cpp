// cryptdsk.sys: the security context of an open request. The dispatch, in
// the requesting thread, captures an impersonation-level copy of the
// caller's token (static tracking); the request carries it in its driver
// context slot to the worker, which impersonates it around the attach and
// closes it. A second open therefore never releases a context the worker
// is still using. Built on the Zw token routines, which every kernel the
// driver runs on exports.
// Kernel mode only; PASSIVE_LEVEL.
#include "disk_extension.h"

namespace cryptdsk {

HANDLE ClientSecurityOf(PIRP irp) {
  return irp->Tail.Overlay.DriverContext[0];
}

NTSTATUS CaptureClientSecurity(PIRP irp) {
  irp->Tail.Overlay.DriverContext[0] = nullptr;
  HANDLE token = nullptr;
  NTSTATUS status = ZwOpenThreadTokenEx(NtCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE,
                                        OBJ_KERNEL_HANDLE, &token);
  if (status == STATUS_NO_TOKEN) {
    status = ZwOpenProcessTokenEx(NtCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY,
                                  OBJ_KERNEL_HANDLE, &token);
  }
  if (!NT_SUCCESS(status)) return status;
  SECURITY_QUALITY_OF_SERVICE quality;
  quality.Length = sizeof(quality);
  quality.ImpersonationLevel = SecurityImpersonation;
  quality.ContextTrackingMode = SECURITY_STATIC_TRACKING;
  quality.EffectiveOnly = FALSE;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, nullptr, OBJ_KERNEL_HANDLE, nullptr, nullptr);
  attributes.SecurityQualityOfService = &quality;
  HANDLE impersonation = nullptr;
  status = ZwDuplicateToken(token, TOKEN_IMPERSONATE | TOKEN_QUERY, &attributes, FALSE,
                            TokenImpersonation, &impersonation);
  ZwClose(token);
  if (!NT_SUCCESS(status)) return status;
  irp->Tail.Overlay.DriverContext[0] = impersonation;
  return STATUS_SUCCESS;
}

NTSTATUS ImpersonateClient(HANDLE context) {
  return ZwSetInformationThread(NtCurrentThread(), ThreadImpersonationToken, &context,
                                sizeof(context));
}

void RevertToSelf() {
  HANDLE none = nullptr;
  ZwSetInformationThread(NtCurrentThread(), ThreadImpersonationToken, &none, sizeof(none));
}

void ReleaseClientSecurity(PIRP irp) {
  HANDLE context = ClientSecurityOf(irp);
  irp->Tail.Overlay.DriverContext[0] = nullptr;
  if (context != nullptr) ZwClose(context);
}

}  // namespace cryptdsk
