// A job run from the command line: the fields hold the paths from the arguments, the options come
// from them too, and the status the job ends with and its remarks are kept for the message and the
// exit code.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "job/job_frame.h"

class ConsoleFrame final : public JobFrame {
 public:
  ConsoleFrame(std::string first, std::string second, const JobOptions& options)
      : paths_{std::move(first), std::move(second)}, options_(options) {}

  FieldRead read_field(Field field) override {
    return paths_[field == Field::first ? 0 : 1].empty() ? FieldRead::empty : FieldRead::filled;
  }
  const char* path(Field field) const override { return paths_[field == Field::first ? 0 : 1].c_str(); }
  void set_status(const char* text) override { status_ = text; }
  const JobOptions& options() const override { return options_; }
  void remark(const std::string& text) override { remarks_.push_back(text); }

  // The last status the job set: "Ready" if it set none.
  const std::string& status() const { return status_; }
  const std::vector<std::string>& remarks() const { return remarks_; }

 private:
  std::string paths_[2];
  const JobOptions& options_;
  std::string status_ = status::ready;
  std::vector<std::string> remarks_;
};
