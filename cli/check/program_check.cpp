#include "cli/check/program_check.h"

#include "cli/check/block_check.h"
#include "cli/check/field_text.h"
#include "cli/check/file_check.h"
#include "cli/check/line_check.h"
#include "cli/check/text_check.h"
#include "codepage/codepage.h"
#include "core/loaded_program.h"
#include "profile/file_access.h"
#include "program/composer_lists.h"
#include "program/keys.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

namespace zelk::check {

namespace {

std::string utf8(std::string_view cp932) {
    return codepage::fromCp932ToUtf8(cp932);
}

std::vector<std::string> variableItems(const Program& program) {
    std::vector<std::string> items;
    const int defined = std::clamp<std::int32_t>(program.variableCount, 0, kVariableCount);
    for (int i = 0; i < defined; ++i)
        if (std::string item = variableItem(i, utf8(program.variables[i].name)); !item.empty())
            items.push_back(std::move(item));
    return items;
}

std::string words(const LineRecord& line, std::span<const std::string> variables) {
    const std::array<std::string, kComposerLists> fields{
        utf8(line.kindText(kConnective)), utf8(line.kindText(kObject)),     utf8(line.dataText(kObject)),
        utf8(line.kindText(kComparison)), utf8(line.dataText(kComparison)), utf8(line.kindText(kValue)),
        utf8(line.dataText(kValue)),      utf8(line.kindText(kAction)),     utf8(line.dataText(kAction))};
    return explainLine(composerTexts(fields, variables));
}

// Lines inside the count whose LG_COMP_ key is missing load empty and do nothing; a run of them is one
// finding.
void missingLines(const FileIndex& index, const std::string& section, int lines, Findings& out) {
    const auto missing = [&](int i) {
        return index.find(section, keys::lineKey(keys::kLineComp, i)) == nullptr;
    };
    for (int first = 0; first < lines; ++first) {
        if (!missing(first)) continue;
        int last = first;
        while (last + 1 < lines && missing(last + 1))
            ++last;
        const std::string key(keys::lineKey(keys::kLineComp, first));
        out.push_back({section,
                       first,
                       {},
                       0,
                       first == last ? key + " is missing: the line does nothing"
                                     : key + " to " + std::string(keys::lineKey(keys::kLineComp, last)) +
                                           " are missing: these " + std::to_string(last - first + 1) +
                                           " lines do nothing"});
        first = last;
    }
}

// Reports sections in the file's usual order, each with its lines in order.
int sectionRank(const std::string& section) {
    constexpr std::array<std::string_view, 6> order{keys::kContents,  keys::kVarDef,   keys::kInitBlock,
                                                    keys::kMainBlock, keys::kEndBlock, keys::kLogCsv};
    const auto found = std::find(order.begin(), order.end(), upperAscii(section));
    return static_cast<int>(found - order.begin());
}

} // namespace

CheckReport checkProgram(const std::string& path) {
    CheckReport report;
    report.file = path;
    std::string bytes;
    if (profile::detail::readWholeFile(path, bytes) != profile::detail::ReadStatus::Ok) {
        std::error_code error;
        report.error = std::filesystem::exists(path, error) ? "cannot be read" : "no such file";
        return report;
    }
    std::vector<profile::Entry> entries = profile::entriesOf(bytes);
    Findings textFindings;
    const bool readable = checkText(bytes, entries, textFindings);
    const FileIndex index(std::move(entries));
    const auto program = std::make_unique<Program>();
    loadProgram(*program, ProgramFile(path));

    checkFile(*program, index, report.findings);
    const std::vector<std::string> variables = variableItems(*program);
    const std::array<std::pair<std::string_view, const Block*>, 3> blocks{{{keys::kInitBlock, &program->init},
                                                                           {keys::kMainBlock, &program->main},
                                                                           {keys::kEndBlock, &program->end}}};
    for (const auto& [section, block] : blocks) {
        BlockWords& shown = report.blocks.emplace_back(BlockWords{std::string(section), block->count, {}});
        std::vector<LinePlace> places;
        for (int i = 0; i < block->loadedLines(); ++i) {
            const LineRecord& line = block->lines[i];
            shown.lines.push_back(words(line, variables));
            if (const profile::Entry* comp = index.find(section, keys::lineKey(keys::kLineComp, i))) {
                const bool hasDetails = index.find(section, keys::lineKey(keys::kLineProc, i)) != nullptr;
                places.push_back({shown.section, i, comp->line, hasDetails});
                checkLine(*program, line, places.back(), report.findings);
            }
        }
        checkBlock(*program, *block, places, report.findings);
        missingLines(index, shown.section, block->loadedLines(), report.findings);
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    checkLogName(*program, index, folder.empty() ? "." : folder.string(), report.findings);

    std::stable_sort(report.findings.begin(), report.findings.end(), [](const Finding& a, const Finding& b) {
        return std::pair(sectionRank(a.section), a.line) < std::pair(sectionRank(b.section), b.line);
    });
    // What the file is as text comes first; text the engine cannot read at all needs no more words.
    if (!readable) report.findings.clear();
    report.findings.insert(report.findings.begin(), textFindings.begin(), textFindings.end());
    return report;
}

} // namespace zelk::check
