#include "job/job_frame.h"

#include <initializer_list>

bool read_paths(JobFrame& frame, OnEmptyField on_empty) {
  for (Field field : {Field::first, Field::second}) {
    switch (frame.read_field(field)) {
      case FieldRead::filled:
        break;
      case FieldRead::empty:
        if (on_empty == OnEmptyField::stop) return false;
        break;
      case FieldRead::too_long:
        frame.set_status(status::path_too_long);
        return false;
    }
  }
  return true;
}
