#include "console/console.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "codecs/image_codecs.h"
#include "console/arguments.h"
#include "console/printable.h"
#include "console/standard_streams.h"
#include "containers/c_array.h"
#include "containers/pack_container.h"
#include "files/file_identity.h"
#include "files/file_view.h"
#include "jobs/font.h"
#include "jobs/pack.h"
#include "jobs/probe.h"
#include "jobs/probe_sheet.h"
#include "jobs/subtract.h"
#include "jobs/unpack.h"
#include "programs/version.h"

namespace {

constexpr char version_text[] = "rgb565 " TOOL_VERSION "\n";
constexpr char usage_hint[] = "Try 'rgb565 --help'.\n";

// One conversion: the two fields of the dialog it stands for, as the user named them.
struct Task {
  std::string first;
  std::string second;
  // A batch's C header: the array's name, from the input's stem.
  std::string c_array = {};
  // The streams the job reads and writes instead, when the user named standard input or output.
  InputStream* input = nullptr;
  OutputStream* output = nullptr;
  // Why a batch leaves this input out, without running its job; told in the input's turn.
  std::string skipped = {};
};

// What the console makes of one task's outcome.
struct Report {
  bool converted = false;
  std::string messages;  // whole lines, for standard error
};

std::string stem_of(const std::string& input);

// The verb's job with the invocation's options. Nothing is shown while it runs.
Outcome run_job(const Invocation& invocation, const Task& task) {
  JobProgress quiet;
  // A batch names its outputs itself: a link left in its folder must not send one elsewhere.
  const JobPaths paths{task.first, task.second, task.input, task.output,
                       invocation.directory.empty() ? Links::follow : Links::refuse};
  switch (invocation.verb) {
    case Verb::pack:
      if (!task.c_array.empty()) {
        PackOptions options = invocation.pack;
        options.c_array = task.c_array;
        return pack(paths, options, quiet);
      }
      return pack(paths, invocation.pack, quiet);
    case Verb::unpack:
      return unpack(paths, invocation.unpack, quiet);
    case Verb::font:
      if (invocation.font.c_array.empty() && invocation.font.output != FontOutput::sheet) {
        FontOptions options = invocation.font;
        options.c_array = c_identifier_of(stem_of(task.second));
        return font(paths, options, quiet);
      }
      return font(paths, invocation.font, quiet);
    case Verb::subtract:
    case Verb::probe:
    case Verb::none:
      break;
  }
  return subtract(paths, invocation.subtract, quiet);
}

// The file an outcome is about: the output for a save that failed, the sub image for its own
// refusals, else the input.
const std::string& subject(Ending ending, const Task& task, const Invocation& invocation) {
  const std::string& output = invocation.subtract.output;
  if (ending == Ending::not_saved) return output.empty() || invocation.verb != Verb::subtract ? task.second : output;
  if (ending == Ending::cannot_open_sub_image || ending == Ending::sub_image_too_short ||
      ending == Ending::sub_image_too_long)
    return task.second;
  return task.first;
}

// The one line that tells why a file was refused or not saved: the file, what the dialogs' status
// line would show, the remarks, the reason in plain words and the system's cause. A save that failed
// says so; the system's cause, when it gave one, says why.
std::string message_line(std::string_view file, const Outcome& outcome) {
  const bool unexplained_save = outcome.ending == Ending::not_saved && outcome.cause.empty();
  std::string line = "rgb565: " + std::string(file) + ": " +
                     (outcome.ending != Ending::not_saved ? ending_text(outcome.ending)
                      : unexplained_save                  ? "Saving failed: the output could not be created or written"
                                                          : "Saving failed");
  for (const std::string& warning : outcome.warnings) line += ": " + warning;
  if (!outcome.reason.empty()) line += ": " + outcome.reason;
  if (!outcome.cause.empty()) line += ": " + outcome.cause;
  return printable(line);
}

Report run_task(const Invocation& invocation, const Task& task) {
  if (!task.skipped.empty()) return {false, printable("rgb565: " + task.first + ": skipped: " + task.skipped) + "\n"};
  const Outcome outcome = run_job(invocation, task);
  Report report;
  report.converted = outcome.done();
  if (report.converted) {
    for (const std::string& warning : outcome.warnings)
      report.messages += printable("rgb565: " + task.first + ": " + warning) + "\n";
    return report;
  }
  std::string line = message_line(subject(outcome.ending, task, invocation), outcome);
  report.messages = line + "\n";
  return report;
}

// An input's file name without its folder and extension.
std::string stem_of(const std::string& input) {
  const std::size_t slash = input.find_last_of("/\\");
  std::string stem = input.substr(slash == std::string::npos ? 0 : slash + 1);
  if (const std::size_t dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  return stem;
}

// The name of an input's output in `directory`: the input's stem and the output's extension.
std::string output_in(const std::string& directory, const std::string& input, std::string_view extension) {
  const bool separated = directory.back() == '/' || directory.back() == '\\';
  return directory + (separated ? "" : "/") + stem_of(input) + std::string(extension);
}

// Keeps a progress line on standard error up to date, and out of the way of messages.
class Progress {
 public:
  Progress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
  void show(std::size_t done, std::size_t total, const std::string& name) {
    if (!shown_) return;
    const std::string line =
        "rgb565: " + std::to_string(done) + " of " + std::to_string(total) + ": " + printable(name);
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
std::size_t run_tasks(const Invocation& invocation, const std::vector<Task>& tasks, unsigned workers,
                      ConsoleStreams streams) {
  std::vector<std::optional<Report>> outcomes(tasks.size());
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < tasks.size(); i = next++) {
      Report outcome = run_task(invocation, tasks[i]);
      const std::lock_guard lock(mutex);
      outcomes[i] = std::move(outcome);
      finished.notify_one();
    }
  };
  // The workers convert; this thread reports, so that messages and progress come as files finish.
  // The codecs are readied here first: what Qt's readers load belongs to the thread that loads it,
  // and must outlive the workers.
  if (invocation.pack.switches.codecs) ready_platform_codecs();
  std::vector<std::thread> threads;
  const std::size_t count = std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(tasks.size(), 1));
  for (std::size_t i = 0; i < count; ++i) threads.emplace_back(work);

  Progress progress(streams.err, streams.progress && tasks.size() > 1);
  std::size_t converted = 0;
  for (std::size_t i = 0; i < tasks.size(); ++i) {
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return outcomes[i].has_value(); });
    const Report outcome = std::move(*outcomes[i]);
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

// One conversion from standard input or to standard output, or both: the job reads and writes the
// streams as it goes (console/standard_streams.h). Standard output may hold the start of an output
// whose conversion then failed: the message and the exit status say so.
int run_with_standard_streams(const Invocation& invocation, Task task, ConsoleStreams streams) {
  if (streams.standard) prepare_standard_streams();
  StandardInput input(streams.in);
  StandardOutput output(streams.out, streams.standard);
  if (task.first == standard_stream) task.input = &input;
  if (task.second == standard_stream) task.output = &output;
  return run_tasks(invocation, {task}, 1, streams) == 1 ? exit_success : exit_failure;
}

// The unpack command that shows `guess` of `dump`, as a PNG named after it.
std::string unpack_command(const ProbeGuess& guess, const std::string& dump) {
  return "rgb565 unpack " + layout_options(guess) + " " + shell_word(dump) + " " + shell_word(stem_of(dump) + ".png");
}

// rgb565 probe: each dump's likeliest layouts on standard output, best first.
int run_probe(const Invocation& invocation, ConsoleStreams streams) {
  ProbeLimits limits;
  if (invocation.was_given("--bytes")) limits.bytes = invocation.unpack.format.bytes;
  if (invocation.was_given("--format")) limits.format = invocation.unpack.pixel_format;
  if (!invocation.sheet.empty() && invocation.inputs.size() != 1) {
    streams.err << "rgb565: --sheet draws the readings of one dump; give one\n" << usage_hint;
    return exit_usage;
  }
  bool every_guessed = true;
  for (const std::string& dump : invocation.inputs) {
    const LvglRead read = lvgl_image_at(dump);
    if (const LvglImage* lvgl = std::get_if<LvglImage>(&read)) {
      streams.out << printable(dump)
                  << ": an LVGL image, whose header names it: " << format_info(lvgl->settings.format).name << " "
                  << lvgl->width << " x " << lvgl->height << "\n     "
                  << printable("rgb565 unpack " + shell_word(dump) + " " + shell_word(stem_of(dump) + ".png")) << "\n";
      continue;
    }
    const std::variant<ProbeResult, Outcome> probed = probe_file(dump, limits);
    if (const Outcome* refused = std::get_if<Outcome>(&probed)) {
      streams.err << message_line(dump, *refused) << "\n";
      every_guessed = false;
      continue;
    }
    const ProbeResult& result = std::get<ProbeResult>(probed);
    if (!invocation.sheet.empty() && !result.ranked.empty()) {
      const Outcome drawn = draw_probe_sheet(dump, result.ranked, invocation.sheet);
      if (!drawn.done()) {
        streams.err << message_line(invocation.sheet, drawn) << "\n";
        every_guessed = false;
      }
    }
    streams.out << printable(dump) << ": ";
    if (result.verdict == ProbeVerdict::no_guess) {
      streams.out << "no confident guess: it does not read as a picture in any layout probed\n";
      every_guessed = false;
      continue;
    }
    streams.out << (result.verdict == ProbeVerdict::confident ? "the first guess is clearly ahead"
                                                              : "not sure: " + result.doubt + "; look at each")
                << "\n";
    for (std::size_t i = 0; i < result.ranked.size(); ++i) {
      const ProbeGuess& guess = result.ranked[i];
      const std::string order = !guess.format->byte_order_matters     ? ""
                                : !guess.order_told                   ? ", either byte order"
                                : guess.bytes == ByteOrder::low_first ? ", low byte first"
                                                                      : ", high byte first";
      streams.out << "  " << i + 1 << ". " << guess.format->name << " " << guess.width << " x " << guess.height << order
                  << ": " << guess.confidence << " %\n     " << printable(unpack_command(guess, dump)) << "\n";
    }
  }
  if (every_guessed) {
    streams.out << "The content cannot tell red from blue, nor the top row from the bottom: if the picture looks\n"
                   "wrong, add --channels bgr, or give --rows bottom-up to turn it over.\n";
  }
  return every_guessed ? exit_success : exit_failure;
}

int run(const Invocation& invocation, ConsoleStreams streams) {
  if (invocation.verb == Verb::probe) return run_probe(invocation, streams);
  std::vector<Task> tasks;
  if (invocation.verb == Verb::subtract) {
    const std::string& output = invocation.subtract.output;
    if (!output.empty() && (same_existing_file(output.c_str(), invocation.inputs[0].c_str()) ||
                            same_existing_file(output.c_str(), invocation.inputs[1].c_str()))) {
      streams.err << "rgb565: -o names IMAGE or SUB; the difference goes to a new file\n" << usage_hint;
      return exit_usage;
    }
    // The image would be opened for writing and read as its own sub image: say so, rather than
    // the "in use by another program" that the second open meets.
    if (same_existing_file(invocation.inputs[0].c_str(), invocation.inputs[1].c_str())) {
      streams.err << "rgb565: " << printable(invocation.inputs[1]) << " is the image "
                  << printable(invocation.inputs[0]) << "; SUB is another file\n"
                  << usage_hint;
      return exit_usage;
    }
    tasks.push_back({invocation.inputs[0], invocation.inputs[1]});
  } else if (invocation.directory.empty()) {
    const std::optional<FileIdentity> input = file_identity(invocation.inputs[0].c_str());
    if (input && invocation.inputs[0] != standard_stream && invocation.output != standard_stream &&
        input == file_identity(invocation.output.c_str())) {
      streams.err << "rgb565: " << printable(invocation.output) << " is the input " << printable(invocation.inputs[0])
                  << "; the output goes to another file\n"
                  << usage_hint;
      return exit_usage;
    }
    tasks.push_back({invocation.inputs[0], invocation.output});
    if (invocation.inputs[0] == standard_stream || invocation.output == standard_stream)
      return run_with_standard_streams(invocation, tasks.front(), streams);
  } else {
    std::error_code ignored;
    if (!std::filesystem::is_directory(invocation.directory, ignored)) {
      const bool exists = std::filesystem::exists(invocation.directory, ignored);
      streams.err << "rgb565: " << printable(invocation.directory)
                  << (exists ? ": not a folder\n" : ": no such folder; -d writes into a folder that exists\n");
      return exit_failure;
    }
    const std::string_view extension =
        invocation.verb == Verb::unpack ? std::string_view(".bmp") : container_extension(invocation.pack.container);
    // Two inputs of the same name would write one output: the later one is refused, not allowed to
    // replace the first's output. Nor may an output replace an input of the batch, read or not yet.
    std::set<FileIdentity> inputs;
    for (const std::string& input : invocation.inputs) {
      if (const std::optional<FileIdentity> identity = file_identity(input.c_str())) inputs.insert(*identity);
    }
    std::set<std::string> outputs, c_names;
    for (const std::string& input : invocation.inputs) {
      std::string output = output_in(invocation.directory, input, extension);
      const std::optional<FileIdentity> existing = file_identity(output.c_str());
      // A link already in the folder may name any file, outside the batch too: -d writes only files
      // it names itself.
      const char* clash = !outputs.insert(output_name_key(output)).second ? " is the output of an earlier input"
                          : existing && inputs.count(*existing) != 0      ? " is an input of this batch"
                          : std::filesystem::is_symlink(output, ignored)
                              ? " is a symbolic link; -d does not write through links"
                              : nullptr;
      if (clash != nullptr) {
        tasks.push_back({input, output, {}, nullptr, nullptr, output + clash});
        continue;
      }
      // Each header's names are its own, so that the headers of one batch compile together. Two
      // stems can make one C name ("a b" and "a-b" both give a_b): the second header would share
      // the first's include guard and vanish when both are included, so it is skipped.
      std::string c_array;
      if (invocation.verb == Verb::pack && is_c_source(invocation.pack.container)) {
        const std::string& prefix = invocation.pack.c_array;
        c_array = prefix.empty() ? c_identifier_of(stem_of(input)) : prefix + "_" + c_identifier_of(stem_of(input));
        if (!c_names.insert(c_array).second) {
          tasks.push_back({input,
                           output,
                           {},
                           nullptr,
                           nullptr,
                           "its C name " + c_array + " is an earlier input's; rename one of them"});
          continue;
        }
      }
      tasks.push_back({input, std::move(output), std::move(c_array)});
    }
  }

  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t converted =
      run_tasks(invocation, tasks, invocation.jobs != 0 ? invocation.jobs : processors, streams);
  const std::size_t failed = tasks.size() - converted;
  if (!invocation.directory.empty()) streams.err << converted << " converted, " << failed << " failed\n" << std::flush;
  return failed == 0 ? exit_success : exit_failure;
}

}  // namespace

int run_rgb565(std::span<const std::string_view> arguments, ConsoleStreams streams) {
  const std::variant<Invocation, UsageError> parsed = parse_arguments(arguments);
  if (const UsageError* error = std::get_if<UsageError>(&parsed)) {
    streams.err << "rgb565: " << printable(error->message) << "\n" << usage_hint;
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
