/**
	The head of every gallery's data block. Nothing plays it in a gallery; it is there so that the
	block is itself a valid movie. Played alone it says what it is.
**/
class BaseFlash {
	static function main() {
		var root = flash.Lib.current;
		root.graphics.beginFill(0x202428);
		root.graphics.drawRect(0, 0, 320, 240);
		root.graphics.endFill();
		flash.Lib.trace("gallery data block");
	}
}
