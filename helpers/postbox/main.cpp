// The mail helper: hands a published movie to the user's mail program as an attachment.
#include <cstdio>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: postbox MOVIE\n");
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(argv[1], ec)) {
    std::fprintf(stderr, "postbox: %s does not exist\n", argv[1]);
    return 1;
  }
  const pid_t child = fork();
  if (child == 0) {
    execlp("xdg-email", "xdg-email", "--attach", argv[1], static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "postbox: no mail program could take %s; attach it to a mail by hand.\n",
                 argv[1]);
    return 1;
  }
  return 0;
}
