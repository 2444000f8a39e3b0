/* The bare exchange of one run's traffic, the yardstick of the start-up
 * benchmark (scripts/bench): connects to the analyzer, sends every command
 * of a recorded run and reads every reply, and does nothing else. The script
 * is the run's --trace: "> TEXT" is sent as TEXT and LF in one send, a "< "
 * line is one reply to read (a line up to LF, or an IEEE 488.2 definite-length
 * block), anything else is skipped.
 *
 *   bare_exchange HOST PORT SCRIPT
 */
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
  if (argc != 4) {
    fprintf(stderr, "usage: bare_exchange HOST PORT SCRIPT\n");
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
  return 0;
}
