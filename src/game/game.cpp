#include "game/game.h"

#include <istream>
#include <ostream>

#include "game/character.h"
#include "game/class_table.h"

namespace quorvale {

namespace {
static_assert(sizeof(int) == 4, "class answers are read as 32-bit integers");

// Not on the menu: a missing or unreadable class answer keeps the default class.
constexpr int kNoClassAnswer = -1;
}  // namespace

// Answers are read with the standard extractors and never checked: a failed read leaves
// its field as it was and the game simply goes on.
void run_game(std::istream& in, std::ostream& out, FateDraw draw_fate) {
  out << "Welcome to Quorvale!\nStarting new game...\n" << '\n' << std::flush;

  out << "Please enter your character's first name:\n";
  Character hero;
  in >> hero.first_name;
  out << "Please enter a last name:\n";
  in >> hero.last_name;

  out << "Welcome, " << hero.first_name << ". Select a class:\n" << kClassMenuCard;
  out << "Enter your class number:\n";
  int class_number = kNoClassAnswer;
  // operator>> stores 0 or a limit when it fails; only a real answer may replace ours.
  if (int answer = 0; in >> answer) {
    class_number = answer;
  }
  if (const auto class_name = class_name_for(class_number)) {
    hero.class_name = *class_name;
  }

  out << "...\n"
      << "\n\n\n";
  write_title(out, hero);
  out << " has arrived.\n";

  // Drawn only now, after the last answer: the seed is the second the fate is sealed.
  const int fate_number = draw_fate();
  write_title(out, hero);
  // The fate line has no line end of its own; the banner's first one closes it.
  out << fate_text(fate_number) << "\n*****Game Over*****\n";
}

}  // namespace quorvale
