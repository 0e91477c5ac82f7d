package gallery;

import flash.display.BitmapData;
import flash.display.Shape;
import flash.events.Event;

/**
	Some players draw display objects into bitmaps, some do not (a renderer without that feature
	stops the running script with an error no `catch` sees). The probe runs the draw in an event
	handler of its own, so that a refusal ends only that handler; the flag tells the result.
**/
class Capability {
	public static var drawsIntoBitmaps(default, null) = false;

	public static function probe(done:Void->Void) {
		var ticker = new Shape();
		var stage = 0;
		ticker.addEventListener(Event.ENTER_FRAME, function tick(_) {
			stage++;
			if (stage == 1) {
				// Exactly the use: a scaled, smoothed draw (a plain copy may take another path).
				var target = new BitmapData(4, 4, false, 0);
				var source = new BitmapData(8, 8, false, 0xFF00FF);
				var half = new flash.geom.Matrix();
				half.scale(0.5, 0.5);
				target.draw(source, half, null, null, null, true);
				drawsIntoBitmaps = target.getPixel(1, 1) == 0xFF00FF;
				target.dispose();
				source.dispose();
			} else {
				ticker.removeEventListener(Event.ENTER_FRAME, tick);
				Log.line('player draws into bitmaps: $drawsIntoBitmaps');
				done();
			}
		});
	}
}
