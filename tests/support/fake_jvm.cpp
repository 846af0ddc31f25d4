#include "fake_jvm.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr size_t kGuardBytes = 32;
constexpr jbyte kGuardFill = static_cast<jbyte>(0xA5);
}  // namespace

struct FakeJvm::Array : _jbyteArray {
    std::vector<jbyte> bytes;
};

struct FakeJvm::String : _jstring {
    std::u16string text;
    bool fromUtf8 = false;
};

// The interface functions, reached through the env pointer.
struct FakeJvmFunctions {
    static FakeJvm& owner(JNIEnv* env) { return *reinterpret_cast<FakeJvm::EnvBlock*>(env)->owner; }

    static jbyte* JNICALL getByteArrayElements(JNIEnv* env, jbyteArray array, jboolean* isCopy) {
        FakeJvm& jvm = owner(env);
        if (array == nullptr) {
            ++jvm.faults_;
            return nullptr;
        }
        auto* fake = static_cast<FakeJvm::Array*>(array);
        size_t length = fake->bytes.size();
        std::unique_ptr<jbyte[]> block(new jbyte[length + 2 * kGuardBytes]);
        std::fill(block.get(), block.get() + length + 2 * kGuardBytes, kGuardFill);
        std::copy(fake->bytes.begin(), fake->bytes.end(), block.get() + kGuardBytes);
        jbyte* elements = block.get() + kGuardBytes;
        jvm.pins_.push_back({fake, std::move(block)});
        ++jvm.pinsTaken_;
        ++jvm.pinsOutstanding_;
        if (isCopy != nullptr) {
            *isCopy = JNI_TRUE;
            ++jvm.copyFlagsAsked_;
        }
        return elements;
    }

    static void JNICALL releaseByteArrayElements(JNIEnv* env, jbyteArray array, jbyte* elements, jint mode) {
        FakeJvm& jvm = owner(env);
        jvm.releaseModes_.push_back(mode);
        auto* fake = static_cast<FakeJvm::Array*>(array);
        auto pin = std::find_if(jvm.pins_.begin(), jvm.pins_.end(), [&](const FakeJvm::Pin& p) {
            return p.array == fake && p.block.get() + kGuardBytes == elements;
        });
        if (pin == jvm.pins_.end()) {
            ++jvm.faults_;
            return;
        }
        size_t length = fake->bytes.size();
        const jbyte* block = pin->block.get();
        bool guardsIntact = std::all_of(block, block + kGuardBytes, [](jbyte b) { return b == kGuardFill; }) &&
                            std::all_of(block + kGuardBytes + length, block + 2 * kGuardBytes + length,
                                        [](jbyte b) { return b == kGuardFill; });
        if (!guardsIntact) ++jvm.faults_;
        if (mode == 0 || mode == JNI_COMMIT) std::copy(elements, elements + length, fake->bytes.begin());
        if (mode == 0 || mode == JNI_ABORT) {
            jvm.pins_.erase(pin);
            --jvm.pinsOutstanding_;
        }
    }

    static jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
        if (array == nullptr) {
            ++owner(env).faults_;
            return 0;
        }
        return static_cast<jsize>(static_cast<FakeJvm::Array*>(static_cast<jbyteArray>(array))->bytes.size());
    }

    static jstring JNICALL newString(JNIEnv* env, const jchar* text, jsize length) {
        auto string = std::make_unique<FakeJvm::String>();
        for (jsize i = 0; i < length; ++i) string->text += static_cast<char16_t>(text[i]);
        jstring result = string.get();
        owner(env).strings_.push_back(std::move(string));
        return result;
    }

    // Decodes the (modified) UTF-8 that NewStringUTF takes.
    static jstring JNICALL newStringUtf(JNIEnv* env, const char* utf) {
        auto string = std::make_unique<FakeJvm::String>();
        const auto* bytes = reinterpret_cast<const unsigned char*>(utf);
        for (size_t i = 0; bytes[i] != 0;) {
            unsigned char b = bytes[i];
            char16_t unit;
            if (b < 0x80) {
                unit = b;
                i += 1;
            } else if ((b & 0xE0) == 0xC0 && bytes[i + 1] != 0) {
                unit = static_cast<char16_t>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
                i += 2;
            } else if ((b & 0xF0) == 0xE0 && bytes[i + 1] != 0 && bytes[i + 2] != 0) {
                unit = static_cast<char16_t>(((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F));
                i += 3;
            } else {
                unit = u'\uFFFD';
                i += 1;
            }
            string->text += unit;
        }
        string->fromUtf8 = true;
        jstring result = string.get();
        owner(env).strings_.push_back(std::move(string));
        return result;
    }
};

FakeJvm::FakeJvm() {
    functions_.GetByteArrayElements = &FakeJvmFunctions::getByteArrayElements;
    functions_.ReleaseByteArrayElements = &FakeJvmFunctions::releaseByteArrayElements;
    functions_.GetArrayLength = &FakeJvmFunctions::getArrayLength;
    functions_.NewString = &FakeJvmFunctions::newString;
    functions_.NewStringUTF = &FakeJvmFunctions::newStringUtf;
    block_.env.functions = &functions_;
    block_.owner = this;
}

FakeJvm::~FakeJvm() = default;

JNIEnv* FakeJvm::env() { return &block_.env; }

jbyteArray FakeJvm::newByteArray(const std::vector<jbyte>& bytes) {
    auto array = std::make_unique<Array>();
    array->bytes = bytes;
    jbyteArray result = array.get();
    arrays_.push_back(std::move(array));
    return result;
}

std::vector<jbyte> FakeJvm::bytesOf(jbyteArray array) const { return static_cast<Array*>(array)->bytes; }

std::u16string FakeJvm::textOf(jstring text) const {
    return text == nullptr ? std::u16string() : static_cast<String*>(text)->text;
}

bool FakeJvm::madeFromUtf8(jstring text) const { return text != nullptr && static_cast<String*>(text)->fromUtf8; }
