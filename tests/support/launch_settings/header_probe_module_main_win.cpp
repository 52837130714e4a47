// A minimal DLL for the header reader's tests: loaded from chosen paths
// (beyond 260 characters too), it lets them read the stamp of a module whose
// file name they control.
extern "C" __declspec(dllexport) int headerProbeModule() { return 1; }
