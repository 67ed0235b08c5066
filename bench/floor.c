/* The floor: the least a program can do for one game. It reads all of standard input and
 * writes the whole transcript of the benchmark's answers with a single write. */
#include <string.h>
#include <unistd.h>

static const char transcript[] =
    "Welcome to Quorvale!\nStarting new game...\n\n"
    "Please enter your character's first name:\n"
    "Please enter a last name:\n"
    "Welcome, Ann. Select a class:\n"
    "*************************\n"
    "*      Class List:      *\n"
    "* 0: Cadet   1: Science *\n"
    "* 2: Engine. 3: Maintn. *\n"
    "* 4: Command 5: Secrty. *\n"
    "*************************\n"
    "Enter your class number:\n"
    "...\n\n\n\n"
    "Ann Lee, Engineer has arrived.\n"
    "Ann Lee, Engineer has died due to head trauma.\n"
    "*****Game Over*****\n";

int main(void) {
  char buffer[4096];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  return write(STDOUT_FILENO, transcript, strlen(transcript)) < 0;
}
