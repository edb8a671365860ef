// The entry of the rgb565 console program.
#include <iostream>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "files/interruption_note.h"
#include "files/live_outputs.h"

int main(int argc, char** argv) {
  use_utf8_console();
  remove_outputs_on_interruption();
  name_program_on_interruption("rgb565");
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return run_rgb565(arguments, {std::cout, std::cerr, standard_error_is_terminal(), &std::cin, true});
}
