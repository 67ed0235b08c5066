#include "game/game.h"

#include <istream>
#include <ostream>

#include "game/character.h"

namespace quorvale {

static_assert(sizeof(int) == 4, "class answers are read as 32-bit integers");

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
  // operator>> stores 0 or a limit when it fails, so only a read that succeeded may pick a
  // class: a missing or unreadable answer keeps the default one.
  if (int class_number = 0; in >> class_number) {
    if (const auto class_name = class_name_for(class_number)) {
      hero.class_name = *class_name;
    }
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
