/* Wall time of whole program runs, with as little of our own overhead as we can manage.
 *
 *   timer RUNS INPUT PROGRAM [PROGRAM2]
 *
 * Each run starts the program with standard input from INPUT and standard output to
 * /dev/null. With two programs the runs alternate (A B A B ...), so both meet the same
 * machine noise. Prints one line per program: the median in microseconds. */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static double run_once(const char* program, const char* input) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, input, O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  char* argv[] = {(char*)program, NULL};
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid;
  int status = 0;
  if (posix_spawn(&pid, program, &files, NULL, argv, environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "timer: %s did not run and exit 0\n", program);
    exit(1);
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  posix_spawn_file_actions_destroy(&files);
  return (double)(end.tv_sec - start.tv_sec) * 1e6 + (double)(end.tv_nsec - start.tv_nsec) / 1e3;
}

static int by_value(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static double median(double* times, int count) {
  qsort(times, (size_t)count, sizeof *times, by_value);
  return count % 2 ? times[count / 2] : (times[count / 2 - 1] + times[count / 2]) / 2;
}

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5 || atoi(argv[1]) < 1) {
    fprintf(stderr, "usage: timer RUNS INPUT PROGRAM [PROGRAM2]\n");
    return 2;
  }
  const int runs = atoi(argv[1]);
  const int programs = argc - 3;
  double* times = malloc(sizeof(double) * (size_t)(runs * programs));
  if (times == NULL) return 1;
  for (int run = 0; run < runs; ++run) {
    for (int p = 0; p < programs; ++p) {
      times[p * runs + run] = run_once(argv[3 + p], argv[2]);
    }
  }
  for (int p = 0; p < programs; ++p) {
    printf("%.1f\n", median(times + p * runs, runs));
  }
  free(times);
  return 0;
}
