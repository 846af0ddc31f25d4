// The shared library's own translation unit. Its exports come from the
// exported-method sources in the core library, which is linked in whole.
