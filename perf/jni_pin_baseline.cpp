// The baseline of the transfer benchmarks: one native method that pins a
// Java byte array and releases it the way the library's transfer methods do,
// and nothing else. Built as a library of its own so that the library under
// measurement keeps exactly its own exports.
#include <jni.h>

extern "C" JNIEXPORT jint JNICALL Java_com_vantorel_kestra_perf_PinBaseline_pinAndRelease(JNIEnv* env, jclass,
                                                                                         jint length,
                                                                                         jbyteArray data) {
    if (data == nullptr) return -1;
    jbyte* elements = env->GetByteArrayElements(data, nullptr);
    if (elements == nullptr) return -1;
    jsize size = env->GetArrayLength(data);
    env->ReleaseByteArrayElements(data, elements, 0);
    return length < size ? length : size;
}
