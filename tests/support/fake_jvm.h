// A Java Native Interface environment of the tests' own, shared by the
// native suites and the Wine hosts that load the DLL: just the functions the
// library uses (byte-array elements, array length, new strings), with byte
// arrays and strings it keeps itself. Like a checking JVM it hands out
// copies of array elements between guard zones, so a pin never released, a
// second release, a write past the elements or a null array shows.
#pragma once

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

class FakeJvm {
public:
    FakeJvm();
    ~FakeJvm();
    FakeJvm(const FakeJvm&) = delete;
    FakeJvm& operator=(const FakeJvm&) = delete;

    JNIEnv* env();

    jbyteArray newByteArray(const std::vector<jbyte>& bytes);
    std::vector<jbyte> bytesOf(jbyteArray array) const;
    // The text of a string the library made, as UTF-16.
    std::u16string textOf(jstring text) const;
    // Whether the library made the string with NewStringUTF.
    bool madeFromUtf8(jstring text) const;

    int pinsTaken() const { return pinsTaken_; }
    int pinsOutstanding() const { return pinsOutstanding_; }
    // The mode of every release, in order, and how many pins asked whether
    // they got a copy.
    const std::vector<jint>& releaseModes() const { return releaseModes_; }
    int copyFlagsAsked() const { return copyFlagsAsked_; }
    // Releases that did not match a pin, pins whose guard zones were
    // overwritten, and null arrays pinned or measured.
    int faults() const { return faults_; }

    struct Array;
    struct String;

private:
    friend struct FakeJvmFunctions;
    struct Pin {
        Array* array;
        std::unique_ptr<jbyte[]> block;
    };

    JNINativeInterface_ functions_{};
    struct EnvBlock {
        JNIEnv_ env;
        FakeJvm* owner;
    } block_{};
    std::vector<std::unique_ptr<Array>> arrays_;
    std::vector<std::unique_ptr<String>> strings_;
    std::vector<Pin> pins_;
    std::vector<jint> releaseModes_;
    int pinsTaken_ = 0;
    int pinsOutstanding_ = 0;
    int copyFlagsAsked_ = 0;
    int faults_ = 0;
};
