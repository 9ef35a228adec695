#include "batch/TerminalPrompt.h"

#include <cctype>
#include <string>
#include <vector>

#include "batch/TerminalInput.h"

namespace corvina {

namespace {

struct Choice {
    char key;
    const char* label;
    ConfirmAnswer answer;
};

// The answers a box offers, in the order the buttons stand.
std::vector<Choice> ChoicesOf(ConfirmButtons buttons) {
    switch (buttons) {
        case ConfirmButtons::Ok:
            return {{'o', "OK", ConfirmAnswer::Ok}};
        case ConfirmButtons::OkCancel:
            return {{'o', "OK", ConfirmAnswer::Ok}, {'c', "Cancel", ConfirmAnswer::Cancel}};
        case ConfirmButtons::YesNo:
            return {{'y', "Yes", ConfirmAnswer::Yes}, {'n', "No", ConfirmAnswer::No}};
        case ConfirmButtons::YesNoCancel:
            return {{'y', "Yes", ConfirmAnswer::Yes},
                    {'n', "No", ConfirmAnswer::No},
                    {'c', "Cancel", ConfirmAnswer::Cancel}};
        case ConfirmButtons::YesAllNoCancel:
            return {{'y', "Yes", ConfirmAnswer::Yes},
                    {'a', "Yes to All", ConfirmAnswer::YesToAll},
                    {'n', "No", ConfirmAnswer::No},
                    {'c', "Cancel", ConfirmAnswer::Cancel}};
    }
    return {};
}

const char* LabelOf(const std::vector<Choice>& choices, ConfirmAnswer answer) {
    for (const Choice& c : choices) {
        if (c.answer == answer)
            return c.label;
    }
    return "Cancel";
}

// A box on one line, led by its caption; a box without one by the
// program's name, as its other messages on the error stream are.
std::string BoxText(std::string_view caption, std::string_view text) {
    std::string line(caption.empty() ? std::string_view("corvina") : caption);
    line += ": ";
    line += text;
    return line;
}

}  // namespace

ConfirmAnswer TerminalPrompt::CautiousAnswer(ConfirmButtons buttons) {
    switch (buttons) {
        case ConfirmButtons::Ok:
            return ConfirmAnswer::Ok;
        case ConfirmButtons::YesNo:
            return ConfirmAnswer::No;
        default:
            return ConfirmAnswer::Cancel;
    }
}

ConfirmAnswer TerminalPrompt::Ask(const Question& question) {
    const std::string boxText = BoxText(question.caption, question.text);
    const ConfirmAnswer cautious = CautiousAnswer(question.buttons);
    if (question.buttons == ConfirmButtons::Ok) {
        std::fprintf(out_, "%s\n", boxText.c_str());
        std::fflush(out_);
        return cautious;
    }
    const std::vector<Choice> choices = ChoicesOf(question.buttons);
    if (!IsTerminal(in_)) {
        std::fprintf(out_, "%s (answered %s: nobody at a terminal)\n", boxText.c_str(),
                     LabelOf(choices, cautious));
        std::fflush(out_);
        return cautious;
    }
    // "[y/N]": the keys, the one Enter gives in capitals.
    std::string menu;
    for (const Choice& c : choices) {
        if (!menu.empty())
            menu += '/';
        const bool preset = c.answer == question.preset;
        menu += preset ? static_cast<char>(std::toupper(static_cast<unsigned char>(c.key))) : c.key;
        if (std::tolower(static_cast<unsigned char>(c.label[0])) != c.key) {
            menu += '=';
            menu += c.label;
        }
    }
    std::fprintf(out_, "%s [%s] ", boxText.c_str(), menu.c_str());
    std::fflush(out_);
    std::optional<std::string> line = ReadInputLine(in_, out_, false);
    if (!line)
        return cautious;
    if (line->empty())
        return question.preset;
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line->front())));
    for (const Choice& c : choices) {
        if (c.key == key)
            return c.answer;
    }
    return cautious;
}

void TerminalPrompt::Notify(std::string_view text, std::string_view caption) {
    std::fprintf(out_, "%s\n", BoxText(caption, text).c_str());
    std::fflush(out_);
}

std::optional<std::filesystem::path> TerminalPrompt::ChooseFile(const FileChoice& choice) {
    // A batch command takes its files on the command line; a file is never
    // picked for it by a guess.
    if (!IsTerminal(in_))
        return std::nullopt;
    std::string prompt = choice.title.empty() ? std::string("File") : choice.title;
    if (!choice.suggestedName.empty())
        prompt += " [" + (choice.startDirectory / choice.suggestedName).string() + "]";
    prompt += ": ";
    std::optional<std::string> line = ReadInputLine(in_, out_, false, prompt);
    if (!line)
        return std::nullopt;
    if (line->empty()) {
        if (choice.suggestedName.empty())
            return std::nullopt;
        return choice.startDirectory / choice.suggestedName;
    }
    return std::filesystem::path(*line);
}

std::optional<std::string> TerminalPrompt::AskText(std::string_view title, std::string_view prompt,
                                                   std::string_view prefilled) {
    if (!IsTerminal(in_))
        return std::nullopt;
    std::fprintf(out_, "%.*s\n%.*s\n[%.*s]: ", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(prompt.size()), prompt.data(), static_cast<int>(prefilled.size()),
                 prefilled.data());
    std::fflush(out_);
    std::optional<std::string> line = ReadInputLine(in_, out_, false);
    if (!line)
        return std::nullopt;
    // Enter alone takes what was filled in.
    if (line->empty())
        return std::string(prefilled);
    return line;
}

std::optional<std::string> TerminalPrompt::AskPassword(std::string_view title,
                                                       std::string_view prompt) {
    std::string shown(title);
    if (!prompt.empty()) {
        shown += " (";
        shown += prompt;
        shown += ")";
    }
    shown += ": ";
    return ReadInputLine(in_, out_, true, shown);
}

}  // namespace corvina
