// The simulated machine's settings a Java program gives as system
// properties: read once, when the JVM loads the library, so that a test
// runner that cannot set environment variables per JVM (a fork of a build
// tool, an IDE) can still name a bench and a drive directory of its own.
#include <jni.h>

#include "platform/sim/life/host_settings.h"

namespace {

void readProperty(JNIEnv* env, jclass system, jmethodID getProperty, sim::HostSetting setting) {
    jstring name = env->NewStringUTF(sim::hostSettingProperty(setting));
    if (name == nullptr) {
        env->ExceptionClear();
        return;
    }
    auto value = static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, name));
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
    } else if (value != nullptr) {
        const char* text = env->GetStringUTFChars(value, nullptr);
        if (text != nullptr) {
            sim::setHostSettingProperty(setting, text);
            env->ReleaseStringUTFChars(value, text);
        }
        env->DeleteLocalRef(value);
    }
    env->DeleteLocalRef(name);
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
    JNIEnv* env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_8) != JNI_OK) return JNI_VERSION_1_8;
    jclass system = env->FindClass("java/lang/System");
    jmethodID getProperty =
        system == nullptr ? nullptr
                          : env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    if (getProperty == nullptr) {
        env->ExceptionClear();
    } else {
        for (sim::HostSetting setting :
             {sim::HostSetting::BenchFile, sim::HostSetting::DriveRoot, sim::HostSetting::SharedWordsName})
            readProperty(env, system, getProperty, setting);
    }
    if (system != nullptr) env->DeleteLocalRef(system);
    return JNI_VERSION_1_8;
}
