/* The bare exchange of one run's traffic, the yardstick of the start-up
 * benchmark (scripts/bench): connects to the analyzer, sends every command
 * of a recorded run and reads every reply, and does nothing else. The script
 * is the run's --trace: "> TEXT" is sent as TEXT and LF in one send, a "< "
 * line is one reply to read (a line up to LF, or an IEEE 488.2 definite-length
 * block), anything else is skipped.
 *
 *   bare_exchange HOST PORT SCRIPT [FILE BYTES]...
 *
 * Each FILE BYTES pair then writes BYTES bytes to FILE the way a result file
 * is kept: a temporary file beside it, written and synced, renamed over
 * FILE, and the folder synced. With the sizes of a run's result files this
 * is the yardstick of a run that keeps them: the exchange and the durable
 * writes, and nothing else.
 */
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static int sock;
static char buffer[1 << 16];
static size_t have, at;

static int next_byte(void) {
  if (at == have) {
    ssize_t got = recv(sock, buffer, sizeof buffer, 0);
    if (got <= 0) {
      fprintf(stderr, "bare_exchange: connection closed\n");
      exit(1);
    }
    have = (size_t)got;
    at = 0;
  }
  return (unsigned char)buffer[at++];
}

static int write_durably(const char* path, size_t bytes) {
  static char content[1 << 20];
  char temporary[4096], folder[4096];
  const size_t length = strlen(path);
  if (bytes > sizeof content || length + 32 > sizeof temporary) return 0;
  memset(content, 'x', bytes);
  const char* slash = strrchr(path, '/');
  const char* base = slash == NULL ? path : slash + 1;
  const size_t head = (size_t)(base - path);
  memcpy(folder, path, head);
  folder[head == 0 ? 0 : head - 1] = '\0';
  if (head == 0) strcpy(folder, ".");
  if (head == 1) strcpy(folder, "/");
  memcpy(temporary, path, head);
  snprintf(temporary + head, sizeof temporary - head, ".%s.tmp-%ld", base, (long)getpid());
  int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, content, bytes) != (ssize_t)bytes || fsync(fd) != 0 || close(fd) != 0) return 0;
  if (rename(temporary, path) != 0) return 0;
  int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || fsync(dir) != 0) return 0;
  close(dir);
  return 1;
}

static void read_reply(void) {
  int c = next_byte();
  if (c == '#') {
    int digits = next_byte() - '0';
    size_t length = 0;
    for (int i = 0; i < digits; ++i) length = length * 10 + (size_t)(next_byte() - '0');
    for (size_t i = 0; i < length; ++i) next_byte();
    c = next_byte();
  }
  while (c != '\n') c = next_byte();
}

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    fprintf(stderr, "usage: bare_exchange HOST PORT SCRIPT [FILE BYTES]...\n");
    return 2;
  }
  FILE* script = fopen(argv[3], "r");
  if (script == NULL) {
    perror(argv[3]);
    return 2;
  }
  struct addrinfo hints = {0}, *address;
  hints.ai_socktype = SOCK_STREAM;
  if (getaddrinfo(argv[1], argv[2], &hints, &address) != 0) return 1;
  sock = socket(address->ai_family, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (connect(sock, address->ai_addr, address->ai_addrlen) != 0) {
    perror("connect");
    return 1;
  }
  freeaddrinfo(address);
  static char line[1 << 16];
  while (fgets(line, sizeof line - 1, script) != NULL) {
    size_t length = strlen(line);
    if (length >= 2 && line[0] == '>' && line[1] == ' ') {
      if (line[length - 1] != '\n') line[length++] = '\n';
      if (send(sock, line + 2, length - 2, MSG_NOSIGNAL) != (ssize_t)(length - 2)) return 1;
    } else if (length >= 2 && line[0] == '<' && line[1] == ' ') {
      read_reply();
    }
  }
  close(sock);
  for (int i = 4; i + 1 < argc; i += 2) {
    if (!write_durably(argv[i], (size_t)strtoul(argv[i + 1], NULL, 10))) {
      perror(argv[i]);
      return 1;
    }
  }
  return 0;
}
