// cryptdsk.sys: the current thread through ntoskrnl's exported routine.
// Kernel mode only. Deliberately includes no DDK header: on x64 the DDK
// defines an inline KeGetCurrentThread that reads gs:, which the exported
// routine replaces here.
extern "C" __declspec(dllimport) void* __stdcall KeGetCurrentThread(void);

struct _KTHREAD;

namespace cryptdsk {

_KTHREAD* CurrentThread() {
  return static_cast<_KTHREAD*>(KeGetCurrentThread());
}

}  // namespace cryptdsk
