#include "monitor/line_editor.hpp"

#include <cstdlib>
#include <cstring>

#ifdef COSMAC_LINE_EDITING

#include <fcntl.h>
#include <histedit.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>

namespace cosmac {
namespace {

constexpr int kHistoryLines = 1000;

// $XDG_STATE_HOME/cosmac/history, by default ~/.local/state/cosmac/history; its
// directories are made as needed, readable by the user alone. Empty when there
// is no home to keep it in.
std::string history_path()
{
    std::string state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/')
        state = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        state = std::string(home) + "/.local/state";
    else
        return {};
    const std::string directory = state + "/cosmac";
    std::filesystem::path made;
    for (const std::filesystem::path& part : std::filesystem::path(directory)) {
        made /= part;
        ::mkdir(made.c_str(), 0700);  // those that exist stay as they are
    }
    return directory + "/history";
}

class EditLineEditor final : public LineEditor {
public:
    explicit EditLineEditor(ReadByte read_byte)
        : read_byte_(std::move(read_byte)),
          editor_(el_init("cosmac", stdin, stdout, stderr)),
          commands_(history_init()),
          replies_(history_init()),
          history_file_(history_path())
    {
        HistEvent event;
        for (History* history : {commands_, replies_}) {
            ::history(history, &event, H_SETSIZE, kHistoryLines);
            ::history(history, &event, H_SETUNIQUE, true);
        }
        if (!history_file_.empty()) {
            ::close(::open(history_file_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));  // never readable by others
            ::history(commands_, &event, H_LOAD, history_file_.c_str());
        }
        el_set(editor_, EL_CLIENTDATA, this);
        el_set(editor_, EL_EDITOR, "emacs");
        el_set(editor_, EL_SIGNAL, 0);  // the console handles Control-C and restores the terminal itself
        el_set(editor_, EL_PROMPT, &EditLineEditor::prompt);
        el_set(editor_, EL_GETCFN, &EditLineEditor::read_char);
        el_set(editor_, EL_BIND, "^R", "em-inc-search-prev", nullptr);
        el_source(editor_, nullptr);  // the user's ~/.editrc
    }

    ~EditLineEditor() override
    {
        el_end(editor_);
        history_end(commands_);
        history_end(replies_);
    }

    EditLineEditor(const EditLineEditor&) = delete;
    EditLineEditor& operator=(const EditLineEditor&) = delete;

    bool read_line(std::string_view prompt, std::string& line, bool command) override
    {
        prompt_ = prompt;
        History* history = command ? commands_ : replies_;
        el_set(editor_, EL_HIST, ::history, history);
        int count = 0;
        const char* text = el_gets(editor_, &count);
        if (text == nullptr || count <= 0)
            return false;
        line.assign(text, static_cast<std::size_t>(count));
        if (line.ends_with('\n'))
            line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) {
            HistEvent event;
            ::history(history, &event, H_ENTER, line.c_str());
            if (command)
                save_history();
        }
        return true;
    }

private:
    static const char* prompt(EditLine* editor) { return self(editor).prompt_.c_str(); }

    static int read_char(EditLine* editor, wchar_t* c)
    {
        char byte = 0;
        const int result = self(editor).read_byte_(byte);
        *c = static_cast<wchar_t>(static_cast<unsigned char>(byte));
        return result;
    }

    static EditLineEditor& self(EditLine* editor)
    {
        void* data = nullptr;
        el_get(editor, EL_CLIENTDATA, &data);
        return *static_cast<EditLineEditor*>(data);
    }

    // After every command, so that a session that ends by a signal keeps its
    // history. The file is written whole beside the old one, readable by the user
    // alone from the start, and then takes its place: a signal at any moment
    // leaves the old history or the new one, never one cut short. A link is saved
    // through to the file it leads to.
    void save_history()
    {
        if (history_file_.empty())
            return;
        std::error_code unresolved;
        std::filesystem::path target = std::filesystem::canonical(history_file_, unresolved);
        if (unresolved)
            target = history_file_;
        std::string temporary = (target.parent_path() / ".history-XXXXXX").string();
        const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return;
        FILE* file = ::fdopen(fd, "w");
        if (file == nullptr) {
            ::close(fd);
            ::unlink(temporary.c_str());
            return;
        }
        // mkostemp's 0600 loses what the umask takes away; the mode is set last.
        HistEvent event;
        const bool written = ::history(commands_, &event, H_SAVE_FP, file) >= 0 && ::fchmod(fd, 0600) == 0;
        if (std::fclose(file) != 0 || !written || ::rename(temporary.c_str(), target.c_str()) != 0)
            ::unlink(temporary.c_str());
    }

    ReadByte read_byte_;
    EditLine* editor_;
    History* commands_;
    History* replies_;
    std::string history_file_;
    std::string prompt_;
};

}  // namespace

std::unique_ptr<LineEditor> LineEditor::open(ReadByte read_byte)
{
    if (terminal_is_dumb())
        return nullptr;
    return std::make_unique<EditLineEditor>(std::move(read_byte));
}

}  // namespace cosmac

#else

namespace cosmac {

std::unique_ptr<LineEditor> LineEditor::open(ReadByte) { return nullptr; }

}  // namespace cosmac

#endif

namespace cosmac {

bool terminal_is_dumb()
{
    const char* term = std::getenv("TERM");
    return term == nullptr || term[0] == '\0' || std::strcmp(term, "dumb") == 0;
}

}  // namespace cosmac
