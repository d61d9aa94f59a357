// libFuzzer target over the answer parser and the login answer.
#include "answer_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParseAnswerInput(data, size);
    return 0;
}
