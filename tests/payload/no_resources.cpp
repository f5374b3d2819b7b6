// A library without a resource section: loading a resource through it fails, as it would for
// a damaged installer.
extern "C" __declspec(dllexport) int payloadTestNoResources() { return 0; }
