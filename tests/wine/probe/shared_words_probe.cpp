// A DLL with nothing in it but the shared trace words and one export that
// hands out their address.
#include "platform/shared_words.h"

extern "C" __declspec(dllexport) volatile platform::TraceWords* sharedWordsProbe() { return platform::traceWords(); }
