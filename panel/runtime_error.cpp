#include "panel/runtime_error.h"

#include <windows.h>

#include <exception>
#include <new>

#include "elements/win/text.h"
#include "panel/runtime_error_text.h"
#include "panel/scheme.h"

#ifdef _MSC_VER
#include <intrin.h>
#define PANEL_RETURN_ADDRESS() _ReturnAddress()
#else
#define PANEL_RETURN_ADDRESS() __builtin_return_address(0)
#endif

namespace panel {

namespace {

int numberFor(DWORD code) {
  switch (code) {
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      return kDivisionByZero;
    case EXCEPTION_STACK_OVERFLOW:
      return kStackOverflow;
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_OVERFLOW:
      return kArithmeticOverflow;
    case EXCEPTION_FLT_INVALID_OPERATION:
      return kInvalidFloatOperation;
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
      return kAccessViolation;
    default:
      return kOtherFault;
  }
}

// Walks the faulting thread's stack from the fault's context by the unwind data of each
// function; stops at the first address that has none.
std::vector<std::uint64_t> stackFrames(const CONTEXT& fault) {
  std::vector<std::uint64_t> frames;
  frames.reserve(33);
  CONTEXT ctx = fault;
  frames.push_back(ctx.Rip);
  for (int depth = 0; depth < 32; ++depth) {
    DWORD64 imageBase = 0;
    PRUNTIME_FUNCTION fn = RtlLookupFunctionEntry(ctx.Rip, &imageBase, nullptr);
    if (!fn) break;
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, ctx.Rip, fn, &ctx, &handlerData, &establisher,
                     nullptr);
    if (ctx.Rip == 0) break;
    frames.push_back(ctx.Rip);
  }
  return frames;
}

struct Report {
  int number;
  std::uint64_t address;
  const std::vector<std::uint64_t>* frames;
};

DWORD WINAPI showReport(void* param) {
  const auto* r = static_cast<const Report*>(param);
  std::wstring text = elements::win::widen1251(runtimeErrorText(r->number, r->address, *r->frames));
  MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK);
  return 0;
}

LONG WINAPI unhandledFault(EXCEPTION_POINTERS* ep) {
  int number = numberFor(ep->ExceptionRecord->ExceptionCode);
  auto address = reinterpret_cast<std::uint64_t>(ep->ExceptionRecord->ExceptionAddress);
  reportRuntimeError(number, address, stackFrames(*ep->ContextRecord));
}

// A stack overflow leaves too little stack to report from, so the report then runs on a fiber
// of its own, made at start-up while there is room.
struct Overflow {
  void* reportFiber = nullptr;
  EXCEPTION_POINTERS* fault = nullptr;
};
Overflow overflow;

void WINAPI reportOverflow(void*) {
  EXCEPTION_POINTERS* ep = overflow.fault;
  auto address = reinterpret_cast<std::uint64_t>(ep->ExceptionRecord->ExceptionAddress);
  reportRuntimeError(kStackOverflow, address, stackFrames(*ep->ContextRecord));
}

LONG WINAPI firstChance(EXCEPTION_POINTERS* ep) {
  if (ep->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW || !overflow.reportFiber)
    return EXCEPTION_CONTINUE_SEARCH;
  overflow.fault = ep;
  SwitchToFiber(overflow.reportFiber);  // never comes back: the report ends the process
  return EXCEPTION_CONTINUE_SEARCH;
}

void outOfMemory() {
  auto address = reinterpret_cast<std::uint64_t>(PANEL_RETURN_ADDRESS());
  reportRuntimeError(kOutOfMemory, address, {address});
}

void brokenRuntime() {
  auto address = reinterpret_cast<std::uint64_t>(PANEL_RETURN_ADDRESS());
  reportRuntimeError(kOtherFault, address, {address});
}

}  // namespace

void installRuntimeErrorReport() {
  if (ConvertThreadToFiber(nullptr)) {
    overflow.reportFiber = CreateFiber(256 * 1024, &reportOverflow, nullptr);
    AddVectoredExceptionHandler(1, &firstChance);
  }
  SetUnhandledExceptionFilter(&unhandledFault);
  std::set_new_handler(&outOfMemory);
  std::set_terminate(&brokenRuntime);
  // No box of the system's own for a fault: ours is the report.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

void reportRuntimeError(int number, std::uint64_t address,
                        const std::vector<std::uint64_t>& frames) {
  // The last moment to stop a moving chassis; the system releases the port after this.
  stopChassisIfMoving(theScheme);
  // The box runs on a thread of its own: the faulting thread's stack may be exhausted.
  Report report{number, address, &frames};
  if (HANDLE t = CreateThread(nullptr, 256 * 1024, &showReport, &report, 0, nullptr)) {
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
  } else {
    showReport(&report);
  }
  ExitProcess(static_cast<UINT>(number));
}

}  // namespace panel
