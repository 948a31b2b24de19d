// The 32-bit program's entry point, in place of the mingw-w64 runtime's
// mainCRTStartup, whose prebuilt copy (crt2.o, built for i686) scans the command line
// with a cmov: on a Pentium the program would die before main(). This one does the
// same steps for a console program and is built for i586 with the rest of the program
// (cmake/mingw-i686.cmake adds it to the 32-bit program, linked with -e _TarselStartup).
//
// The runtime's own initialisers still run: those crt2.o registers (the C runtime's
// modes, the wildcard setting, the arguments) lie between __xi_a and __xi_z.
#include <windows.h>

#include <cstdlib>

extern "C" {
typedef void(__cdecl* StartupStep)();
// From the mingw-w64 runtime (static) and MSVCRT.
extern StartupStep __xi_a[], __xi_z[], __xc_a[], __xc_z[];
extern const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback;
extern volatile unsigned int __native_startup_state;
extern int __mingw_app_type;
extern int _dowildcard;
extern LPTOP_LEVEL_EXCEPTION_FILTER __mingw_oldexcpt_handler;
extern const char __RUNTIME_PSEUDO_RELOC_LIST__[], __RUNTIME_PSEUDO_RELOC_LIST_END__[];
LONG WINAPI _gnu_exception_handler(EXCEPTION_POINTERS* exception);
void _pei386_runtime_relocator();
void _fpreset();
void __main();
void __cdecl _initterm(StartupStep* first, StartupStep* last);
struct StartupInfo {
  int newMode;
};
int __cdecl __getmainargs(int* argc, char*** argv, char*** environment, int wildcards,
                          StartupInfo* info);
// The program's main(), which C++ does not let the program call by its own name.
int ProgramMain(int argc, char** argv) __asm__("_main");

__attribute__((force_align_arg_pointer)) int TarselStartup() {
  __mingw_app_type = 0;        // a console program
  __native_startup_state = 1;  // initialising
  _initterm(__xi_a, __xi_z);
  _initterm(__xc_a, __xc_z);
  __native_startup_state = 2;  // initialised
  if (__dyn_tls_init_callback != nullptr) {
    __dyn_tls_init_callback(nullptr, DLL_THREAD_ATTACH, nullptr);
  }
  // Fills in addresses of data that other modules export; a static program has none
  // (the list is empty), and the relocator is only called when it does.
  if (+__RUNTIME_PSEUDO_RELOC_LIST__ != +__RUNTIME_PSEUDO_RELOC_LIST_END__) {
    _pei386_runtime_relocator();
  }
  __mingw_oldexcpt_handler = SetUnhandledExceptionFilter(_gnu_exception_handler);
  _fpreset();
  int argc = 0;
  char** argv = nullptr;
  char** environment = nullptr;
  StartupInfo info = {0};
  __getmainargs(&argc, &argv, &environment, _dowildcard, &info);
  __main();  // the constructors of static objects
  std::exit(ProgramMain(argc, argv));
}
}
