package gallery;

/**
	Lines go to the player's own trace output, never into a text field on the stage: a gallery has
	no place for debug text, and the checks that play the movies read these lines.
**/
class Log {
	public static function install() {
		haxe.Log.trace = function(v:Dynamic, ?infos:haxe.PosInfos) {
			flash.Lib.trace(Std.string(v));
		};
	}

	public static inline function line(text:String) {
		flash.Lib.trace(text);
	}
}
