#include "engine/PromptTexts.h"

#include <boost/filesystem/path.hpp>

namespace ferrymark {
namespace {

Prompt cautionPrompt(PromptKind kind, const char* format, std::vector<std::string> arguments = {}) {
    Prompt p;
    p.kind = kind;
    p.image = PromptImage::Caution;
    p.format = format;
    // Place by place, so that a name holding "%@" is never filled itself.
    p.message = p.format;
    std::string::size_type from = 0;
    for (const std::string& argument : arguments) {
        const auto at = p.message.find("%@", from);
        if (at == std::string::npos) {
            break;
        }
        p.message.replace(at, 2, argument);
        from = at + argument.size();
    }
    p.arguments = std::move(arguments);
    p.options = PromptOptions::Hidden;
    p.showDontAsk = false;
    return p;
}

Prompt conflictPrompt(PromptKind kind, const char* format, const std::string& sourcePath,
                      const std::string& existingPath, PromptOptions options) {
    Prompt p;
    p.kind = kind;
    p.image = PromptImage::FileIcon;
    p.iconPath = sourcePath;
    p.existingPath = existingPath;
    p.format = format;
    p.arguments = {PromptTexts::itemName(sourcePath)};
    p.message = PromptTexts::fill(format, p.arguments.front());
    p.options = options;
    p.showDontAsk = true;
    return p;
}

}  // namespace

std::string PromptTexts::fill(const std::string& format, const std::string& name) {
    const auto at = format.find("%@");
    if (at == std::string::npos) {
        return format;
    }
    return format.substr(0, at) + name + format.substr(at + 2);
}

std::string PromptTexts::itemName(const std::string& path) {
    return boost::filesystem::path(path).filename().string();
}

Prompt PromptTexts::fileConflict(const std::string& sourcePath, const std::string& existingPath) {
    return conflictPrompt(PromptKind::FileConflict,
                          "An item named “%@” already exists in this location. Do you want to "
                          "replace it with the one you’re moving?",
                          sourcePath, existingPath, PromptOptions::Shown);
}

Prompt PromptTexts::folderConflict(const std::string& sourcePath, const std::string& existingPath) {
    return conflictPrompt(PromptKind::FolderConflict,
                          "A directory named “%@” already exists in this location. Do you want "
                          "to merge it with the one you’re moving?",
                          sourcePath, existingPath, PromptOptions::ShownWithMerge);
}

Prompt PromptTexts::destination() {
    return cautionPrompt(
        PromptKind::Destination,
        "Can not copy to specified location, permission denied. Click continue to skip.");
}

Prompt PromptTexts::diskFull() {
    return cautionPrompt(PromptKind::DiskFull,
                         "Operation paused as the disk is full. Free up some space and click "
                         "continue to retry.");
}

Prompt PromptTexts::diskError(const std::string& sourcePath, const std::string& error) {
    Prompt p = cautionPrompt(PromptKind::DiskError,
                             "The disk reported an error while saving “%@”: %@. Choose Retry "
                             "to try again or Skip to leave it out, and click continue.",
                             {itemName(sourcePath), error});
    p.options = PromptOptions::RetryOrSkip;
    return p;
}

Prompt PromptTexts::readError(const std::string& sourcePath) {
    return cautionPrompt(PromptKind::ReadError, "Can not read “%@”. Click continue to skip.",
                         {itemName(sourcePath)});
}

Prompt PromptTexts::replaceFile(const std::string& sourcePath) {
    return cautionPrompt(PromptKind::ReplaceFile,
                         "You do not have the permission to replace existing file “%@”.",
                         {itemName(sourcePath)});
}

Prompt PromptTexts::replaceFolder(const std::string& sourcePath) {
    return cautionPrompt(PromptKind::ReplaceFolder,
                         "You do not have the permission to replace existing directory "
                         "“%@”, the directory cannot be copied.",
                         {itemName(sourcePath)});
}

Prompt PromptTexts::replaceHoldsSource(const std::string& sourcePath,
                                       const std::string& destinationPath) {
    // Same kind as a folder that can not be replaced: the same dialog and answers.
    return cautionPrompt(PromptKind::ReplaceFolder,
                         "“%@” can not replace “%@”, because it is inside it. Nothing "
                         "was replaced. Click continue to skip.",
                         {itemName(sourcePath), itemName(destinationPath)});
}

Prompt PromptTexts::intoItself(const std::string& sourcePath) {
    Prompt p = cautionPrompt(PromptKind::IntoItself,
                             "You can’t paste “%@” at this location because you can’t paste "
                             "an item into itself.",
                             {itemName(sourcePath)});
    p.showDontAsk = true;
    return p;
}

Prompt PromptTexts::quit() {
    Prompt p = cautionPrompt(PromptKind::Quit,
                             "File copying in Progress. Do you want to quit application. Click "
                             "Yes to abort copying operation.");
    p.stopTitle = "Yes";
    p.continueTitle = "No";
    return p;
}

}  // namespace ferrymark
