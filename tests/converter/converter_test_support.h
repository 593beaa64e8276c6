// Helpers of the converter's tests: scratch folders, files, and a recorder that answers
// message boxes for the user.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/message_box.h"
#include "support/test_support.h"

namespace vt {

// An empty folder under the build's test folder (emptied if it was there).
inline std::string fresh_dir(const std::string& name)
{
    const std::filesystem::path p = std::filesystem::path(ZORVIK_TEST_TMP) / "converter" / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p.string();
}

inline void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Records every message box for as long as it lives and answers with `answer` (or the
// box's default button when answer is 0).
class MessageRecorder {
public:
    explicit MessageRecorder(int answer = 0)
    {
        previous_ = vm::set_message_handler([this, answer](const std::string& text, unsigned style) {
            texts.push_back(text);
            styles.push_back(style);
            return answer != 0 ? answer : vm::default_answer(style);
        });
    }
    ~MessageRecorder() { vm::set_message_handler(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<std::string> texts;
    std::vector<unsigned> styles;

private:
    vm::MessageHandler previous_;
};

} // namespace vt
