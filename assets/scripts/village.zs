// The demo game's script, named by "*script" in z1.ini: loads the village,
// puts the player at the west edge of the square, gives the things of the
// village their behaviour, and takes the player into the old tower's hall
// (the second area, where the quest ends) and back. Compiled at build time by
//   z1tool script compile village.zs village.scr
//
// Placing the player: the engine only moves him by a vector. Moved 2^40
// units out along every axis he lands exactly on 2^40, as a float there has
// no room for the few thousand units he stood from the origin; moved back
// he is exactly at the origin, and from there the last move puts him where
// the new area wants him, wherever he was when he clicked.
const FAR = vec(1099511627776, 1099511627776, 1099511627776);
const ORIGIN = -FAR;

// Runs once when the game starts.
program start on init {
    game.loadScene("village.z1a");
    game.collisionOn(1);  // the player collides with the world
    game.moveCamera(vec(-1400, 300, 0));
    game.showMessage("Welcome to Zendar. The guard at the east gate keeps the key to the old tower.", 8);
}

// The barrel by the tavern (its on-click script): the innkeeper wants it.
program take_barrel sync {
    game.addItem("barrel");
    world.move("barrel", vec(0, -2000, 0));  // the entity is called barrel too: out of sight
    game.showMessage("You shoulder the barrel.", 4);
}

// Started by the innkeeper's conversation when he hands over the room key.
program open_room {
    game.showMessage("The best room is upstairs. Sleep well.", 4);
}

// A click on the tower's door: the door swings open (it is a door entity),
// and behind it the tower's hall is loaded, the player just inside its door.
program enter_tower on click("tower_door") sync {
    sleep(900);  // while the door opens
    game.loadScene("tower.z1a");
    game.moveCamera(FAR);
    game.moveCamera(ORIGIN);
    game.moveCamera(vec(-320, 190, 0));
    game.showMessage("The old tower's hall. An old man waits between the torches.", 6);
}

// The hall's door (its on-click script): back to the village, in the yard
// before the tower's door. The village is loaded afresh, so its gate is shut
// again; the key still opens it.
program leave_tower sync {
    game.loadScene("village.z1a");
    game.moveCamera(FAR);
    game.moveCamera(ORIGIN);
    game.moveCamera(vec(2030, 190, 0));
    game.showMessage("Back in the yard below the tower.", 5);
}

// Started by the keeper's conversation when he hands over the old lord's
// seal: the end of the quest.
program quest_complete {
    game.showMessage("The old lord's seal is yours and the tale of the tower is told. Thank you for playing Zendar!", 12);
}
