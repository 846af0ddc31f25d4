/*
 * Machine-dependent part of the Java Native Interface header for 64-bit
 * Windows, used with the JDK's own jni.h when the DLL is cross-built.
 * On Windows `long` is 32 bits wide, so jint and jlong are spelled with
 * the fixed-width types the rest of the library uses.
 */
#ifndef TAMBERLYX_JNI_MD_H
#define TAMBERLYX_JNI_MD_H

#include <stdint.h>

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int32_t jint;
typedef int64_t jlong;
typedef signed char jbyte;

#endif /* TAMBERLYX_JNI_MD_H */
