#include "shell/process/terminate_process.h"

#include "platform/kernel32/process_functions.h"
#include "shell/binding/platform_functions.h"

namespace vt {

bool terminate_process(std::optional<std::int32_t> process_id) {
    const std::uint32_t id = process_id ? static_cast<std::uint32_t>(*process_id)
                                        : platform_function<GetCurrentProcessIdFunction>(PF_GET_CURRENT_PROCESS_ID)();
    const ProcessHandle handle = platform_function<OpenProcessFunction>(PF_OPEN_PROCESS)(PROCESS_TERMINATE, 0, id);
    // Called even without a handle: the platform answers that with a failure.
    const std::int32_t result = platform_function<TerminateProcessFunction>(PF_TERMINATE_PROCESS)(handle, 0);
    return result == 1;
}

}  // namespace vt
