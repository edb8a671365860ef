#include "console/console.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "jobs/pack.h"
#include "files/file_view.h"
#include "console/arguments.h"
#include "console/console_frame.h"
#include "jobs/unpack.h"
#include "jobs/subtract.h"
#include "programs/version.h"

namespace {

constexpr char version_text[] = "rgb565 " TOOL_VERSION "\n";
constexpr char usage_hint[] = "Try 'rgb565 --help'.\n";

// One conversion: the two fields of the dialog it stands for.
struct Task {
  std::string first;
  std::string second;
};

struct Outcome {
  bool converted = false;
  std::string messages;  // whole lines, for standard error
};

GenerateJob job_of(Verb verb) {
  switch (verb) {
    case Verb::pack:
      return &pack;
    case Verb::unpack:
      return &unpack;
    case Verb::subtract:
    case Verb::none:
      break;
  }
  return &subtract;
}

// The file a status is about: the output for a save that failed, the sub image for its own
// refusals, else the input.
const std::string& subject(const std::string& status, const Task& task, const JobOptions& options) {
  if (status == status::saving) return options.output.empty() ? task.second : options.output;
  if (status == status::cannot_open_sub_image || status == status::sub_image_too_short) return task.second;
  return task.first;
}

Outcome run_task(GenerateJob job, const Task& task, const JobOptions& options) {
  ConsoleFrame frame(task.first, task.second, options);
  job(frame);
  Outcome outcome;
  outcome.converted = frame.status() == status::done;
  if (outcome.converted) {
    for (const std::string& remark : frame.remarks())
      outcome.messages += "rgb565: " + task.first + ": " + remark + "\n";
    return outcome;
  }
  // "Saving" left standing means the output could not be created or written.
  std::string line =
      "rgb565: " + subject(frame.status(), task, options) + ": " +
      (frame.status() == status::saving ? "Saving failed: the output could not be created or written" : frame.status());
  for (const std::string& remark : frame.remarks()) line += ": " + remark;
  outcome.messages = line + "\n";
  return outcome;
}

// The name of an input's output in `directory`: the input's file name without its extension.
std::string output_in(const std::string& directory, const std::string& input, const char* extension) {
  const std::size_t slash = input.find_last_of("/\\");
  std::string stem = input.substr(slash == std::string::npos ? 0 : slash + 1);
  if (const std::size_t dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  const bool separated = directory.back() == '/' || directory.back() == '\\';
  return directory + (separated ? "" : "/") + stem + extension;
}

// Keeps a progress line on standard error up to date, and out of the way of messages.
class Progress {
 public:
  Progress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
  void show(std::size_t done, std::size_t total, const std::string& name) {
    if (!shown_) return;
    const std::string line = "rgb565: " + std::to_string(done) + " of " + std::to_string(total) + ": " + name;
    err_ << '\r' << line << std::string(line.size() < width_ ? width_ - line.size() : 0, ' ') << std::flush;
    width_ = line.size();
  }
  void clear() {
    if (!shown_ || width_ == 0) return;
    err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    width_ = 0;
  }

 private:
  std::ostream& err_;
  bool shown_;
  std::size_t width_ = 0;
};

// Runs every task, `workers` at once, and reports each outcome in the order of the tasks, as they
// complete. Returns how many converted.
std::size_t run_tasks(GenerateJob job, const std::vector<Task>& tasks, const JobOptions& options, unsigned workers,
                      ConsoleStreams streams) {
  std::vector<std::optional<Outcome>> outcomes(tasks.size());
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < tasks.size(); i = next++) {
      Outcome outcome = run_task(job, tasks[i], options);
      const std::lock_guard lock(mutex);
      outcomes[i] = std::move(outcome);
      finished.notify_one();
    }
  };
  // The workers convert; this thread reports, so that messages and progress come as files finish.
  std::vector<std::thread> threads;
  const std::size_t count = std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(tasks.size(), 1));
  for (std::size_t i = 0; i < count; ++i) threads.emplace_back(work);

  Progress progress(streams.err, streams.progress && tasks.size() > 1);
  std::size_t converted = 0;
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return outcomes[i].has_value(); });
    const Outcome outcome = std::move(*outcomes[i]);
    lock.unlock();
    if (!outcome.messages.empty()) {
      progress.clear();
      streams.err << outcome.messages << std::flush;
    }
    if (outcome.converted) ++converted;
    progress.show(i + 1, tasks.size(), tasks[i].first);
  }
  progress.clear();
  for (std::thread& thread : threads) thread.join();
  return converted;
}

int run(const Invocation& invocation, ConsoleStreams streams) {
  const JobOptions& options = invocation.options;
  std::vector<Task> tasks;
  std::size_t refused = 0;
  if (invocation.verb == Verb::subtract) {
    if (!options.output.empty() && (same_existing_file(options.output.c_str(), invocation.inputs[0].c_str()) ||
                                    same_existing_file(options.output.c_str(), invocation.inputs[1].c_str()))) {
      streams.err << "rgb565: -o names IMAGE or SUB; the difference goes to a new file\n" << usage_hint;
      return exit_usage;
    }
    tasks.push_back({invocation.inputs[0], invocation.inputs[1]});
  } else if (invocation.directory.empty()) {
    tasks.push_back({invocation.inputs[0], invocation.output});
  } else {
    std::error_code ignored;
    if (!std::filesystem::is_directory(invocation.directory, ignored)) {
      streams.err << "rgb565: " << invocation.directory << ": not a folder\n";
      return exit_failure;
    }
    const char* extension = invocation.verb == Verb::unpack ? ".bmp" : options.c_array.empty() ? ".bin" : ".h";
    // Two inputs of the same name would write one output: the later one is refused, not allowed to
    // replace the first's output.
    std::set<std::string> outputs;
    for (const std::string& input : invocation.inputs) {
      std::string output = output_in(invocation.directory, input, extension);
      if (!outputs.insert(output).second) {
        streams.err << "rgb565: " << input << ": skipped: " << output << " is the output of an earlier input\n";
        ++refused;
        continue;
      }
      tasks.push_back({input, std::move(output)});
    }
  }

  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t converted =
      run_tasks(job_of(invocation.verb), tasks, options, invocation.jobs != 0 ? invocation.jobs : processors, streams);
  const std::size_t failed = tasks.size() - converted + refused;
  if (!invocation.directory.empty()) streams.err << converted << " converted, " << failed << " failed\n" << std::flush;
  return failed == 0 ? exit_success : exit_failure;
}

}  // namespace

int run_rgb565(std::span<const std::string_view> arguments, ConsoleStreams streams) {
  const std::variant<Invocation, UsageError> parsed = parse_arguments(arguments);
  if (const UsageError* error = std::get_if<UsageError>(&parsed)) {
    streams.err << "rgb565: " << error->message << "\n" << usage_hint;
    return exit_usage;
  }
  const Invocation& invocation = std::get<Invocation>(parsed);
  if (invocation.help) {
    streams.out << help_text(invocation);
    return exit_success;
  }
  if (invocation.version) {
    streams.out << version_text;
    return exit_success;
  }
  return run(invocation, streams);
}
