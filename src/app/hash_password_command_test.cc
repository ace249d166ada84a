#include "app/hash_password_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "panel/password_hash.h"

namespace gsadmin {
namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// runHashPassword() with `input` on a pipe.
Outcome hashFromPipe(const std::string& input) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(fds[1]);
  char* outText = nullptr;
  char* errText = nullptr;
  size_t outSize = 0, errSize = 0;
  std::FILE* out = open_memstream(&outText, &outSize);
  std::FILE* err = open_memstream(&errText, &errSize);
  int status = runHashPassword(fds[0], out, err);
  std::fclose(out);
  std::fclose(err);
  close(fds[0]);
  Outcome outcome{status, outText, errText};
  std::free(outText);
  std::free(errText);
  return outcome;
}

TEST(HashPasswordCommandTest, PrintsTheHashOfThePipedLine) {
  for (std::string input : {"s3cret\n", "s3cret\r\nignored\n", "s3cret"}) {
    Outcome outcome = hashFromPipe(input);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    ASSERT_EQ(outcome.out.back(), '\n');
    std::string hash = outcome.out.substr(0, outcome.out.size() - 1);
    EXPECT_TRUE(verifyPassword(hash, "s3cret")) << hash;
  }
}

TEST(HashPasswordCommandTest, RefusesNoPasswordInOneLine) {
  for (const std::string& input : {std::string(), std::string("\n"), std::string(1100, 'p')}) {
    Outcome outcome = hashFromPipe(input);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "gsadmin: --hash-password: no password of 1 to 1024 bytes on the input\n");
  }
}

}  // namespace
}  // namespace gsadmin
