// lumar.scr for the long run of scripts/soak: the same program, except that its Direct3D object is the
// fault-injection double (counting only, failing nothing), whose devices are made to lose themselves every
// 30 s, and that it prints once a minute what the process holds: private bytes, handles, and our own live
// COM objects (devices, textures, buffers, state blocks) and GDI objects. When the run ends it prints what
// is left.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/saver_app_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "render/fault_injection_win32.h"

namespace {

using lumar::test::FaultyDevice;
using lumar::test::Live;

constexpr DWORD kLossPeriodMs = 30000;
constexpr DWORD kReportPeriodMs = 60000;

struct Soak {
  DWORD start = 0;
  DWORD nextReport = kReportPeriodMs - kLossPeriodMs / 2;  // halfway between two losses
  DWORD lossesDue = 0;                                     // loss rounds begun
  long devicesLost = 0;                                    // devices made to lose themselves, over all rounds
  long devicesRecovered = 0;
  IDirect3D9* real = nullptr;
  lumar::test::FaultyDirect3D* direct3d = nullptr;
} soak;

// What a device had presented when it was made to lose itself: drawing again after that is the recovery.
struct Pending {
  FaultyDevice* device;
  int presentedBefore;
  DWORD lostAt;
};
Pending pending[16];
int pendingCount = 0;

// Committed private memory: the sum of the committed private regions of the address space (Wine leaves
// the counters of GetProcessMemoryInfo at 0).
unsigned long long PrivateBytes() {
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (region.RegionSize == 0) break;
  }
  return total;
}

// The process's open handles, from the system's handle list (Wine's GetProcessHandleCount says 0).
long HandleCount() {
  struct Entry {
    ULONG process;
    UCHAR type;
    UCHAR flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  static std::vector<unsigned char> buffer(1 << 20);
  ULONG needed = 0;
  LONG status;
  while ((status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &needed)) == static_cast<LONG>(0xC0000004L) /* STATUS_INFO_LENGTH_MISMATCH */)
    buffer.resize(buffer.size() * 2);
  if (status != 0) return -1;
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
  long ours = 0;
  for (ULONG i = 0; i < count; ++i) ours += entries[i].process == GetCurrentProcessId();
  return ours;
}

void Report(const char* when) {
  std::printf(
      "soak: %s t=%lus private_bytes=%llu handles=%ld com_objects=%ld gdi_objects=%ld devices=%zu "
      "losses=%ld recovered=%ld\n",
      when, static_cast<unsigned long>((GetTickCount() - soak.start) / 1000), PrivateBytes(), HandleCount(),
      Live().com, Live().gdi, FaultyDevice::Alive().size(), soak.devicesLost, soak.devicesRecovered);
  std::fflush(stdout);
}

// At every device check: the report once a minute, a loss of every device every 30 s, and the recovery of
// each lost device noticed once it has presented a frame again.
void BeforeCheck(FaultyDevice&) {
  const DWORD now = GetTickCount() - soak.start;
  for (int i = 0; i < pendingCount; ++i) {
    Pending& p = pending[i];
    if (!FaultyDevice::Alive().count(p.device)) {
      std::printf("soak: a lost device was released before it drew again\n");
      p = pending[--pendingCount];
      --i;
      continue;
    }
    if (p.device->presented > p.presentedBefore) {
      ++soak.devicesRecovered;
      std::printf("soak: device %p drew again %lu ms after its loss\n", static_cast<void*>(p.device),
                  static_cast<unsigned long>(now - p.lostAt));
      p = pending[--pendingCount];
      --i;
    }
  }
  if (now >= (soak.lossesDue + 1) * kLossPeriodMs) {
    ++soak.lossesDue;
    for (FaultyDevice* device : FaultyDevice::Alive()) {
      if (device->loss != FaultyDevice::Loss::kNone || pendingCount == 16) continue;
      device->Lose();
      pending[pendingCount++] = Pending{device, device->presented, now};
      ++soak.devicesLost;
    }
  }
  if (now >= soak.nextReport) {
    soak.nextReport += kReportPeriodMs;
    Report("minute");
  }
  std::fflush(stdout);
}

IDirect3D9* WINAPI CreateSoakDirect3D(UINT version) {
  soak.real = Direct3DCreate9(version);
  if (!soak.real) return nullptr;
  soak.direct3d = new lumar::test::FaultyDirect3D(soak.real);
  return soak.direct3d;
}

}  // namespace

// A console program, so that the figures reach the script; the arguments are the saver's.
int main(int argc, char** argv) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) arguments += std::string(i > 1 ? " " : "") + argv[i];
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
  soak.start = GetTickCount();
  lumar::test::FaultyGdi gdi;
  FaultyDevice::beforeCheck = BeforeCheck;
  int code = 0;
  {
    lumar::MultimediaClock clock;
    lumar::SaverApp app(GetModuleHandleA(nullptr), clock);
    app.SetDirect3DCreator(CreateSoakDirect3D);
    code = app.Run(arguments);
  }
  Report("end");
  std::printf(
      "soak: left over: com_objects=%ld real_objects_outliving_release=%ld gdi_objects=%ld "
      "lost_not_recovered=%d\n",
      Live().com, Live().realLeftOver, Live().gdi, pendingCount);
  delete soak.direct3d;
  if (soak.real) soak.real->Release();
  return code;
}
