// A front end that plays the user for the portable tool dialog: control texts live in a map, each
// file dialog answers with the next scripted choice (a path, or nullopt for cancel) and filter
// position, and every call is recorded.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialog/dialog_template.h"
#include "dialog/tool_dialog.h"

class ScriptedFrontEnd final : public FrontEnd {
 public:
  struct Choice {
    std::optional<std::string> path;
    std::uint32_t filter_index;
  };
  struct Call {
    FileDialogKind kind;
    std::string filter;  // the whole list, every NUL included
    std::string initial_path;
    std::uint32_t max_file;
    std::uint32_t filter_index;
  };

  std::string control_text(int id) override {
    ++reads[id];
    return texts[id];
  }
  void set_control_text(int id, const char* text) override {
    texts[id] = text;
    sets[id].emplace_back(text);
  }
  bool run_file_dialog(FileDialogKind kind, FileDialogRequest& request) override {
    // A filter list ends with an empty string: two NULs in a row.
    std::size_t length = 0;
    while (request.filter[length] != '\0' || request.filter[length + 1] != '\0') ++length;
    calls.push_back(
        {kind, std::string(request.filter, length + 2), request.file, request.max_file, request.filter_index});
    const Choice choice = choices.at(calls.size() - 1);
    request.filter_index = choice.filter_index;
    if (!choice.path) return false;
    std::strncpy(request.file, choice.path->c_str(), request.max_file);
    return true;
  }
  void show_information(const char* caption, const char* text) override { boxes.push_back({caption, text}); }
  void end_dialog(int result) override { ended_with = result; }

  std::map<int, std::string> texts{{IDC_STATUS, "Ready"}};
  std::map<int, int> reads;                      // control_text calls per control
  std::map<int, std::vector<std::string>> sets;  // every text set, per control
  std::vector<Choice> choices;
  std::vector<Call> calls;
  std::vector<std::pair<std::string, std::string>> boxes;
  std::optional<int> ended_with;
};
