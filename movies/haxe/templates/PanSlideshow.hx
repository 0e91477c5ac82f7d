import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.GradientType;
import flash.display.Shape;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.geom.Matrix;
import flash.geom.Rectangle;
import gallery.TemplateBase;

/**
	"st_2d_Slide": one photo at a time over the whole stage, drifting in a slow pan and zoom, with a
	cross-fade to the next. With the fill option a photo covers the stage (cropped); without it it
	fits inside (bands at the sides). The spotlight darkens the edges; the frame is an inset border.
**/
class PanSlideshow extends TemplateBase {
	static function main() {
		TemplateBase.boot(new PanSlideshow());
	}

	static inline var FADE = 0.9; // seconds
	static inline var DRIFT = 0.10; // extra zoom over one photo's time

	var front:Slide;
	var leaving:Slide;
	var fade = 1.0;
	var swipeX = 0.0;
	var pressed = false;
	var pressX = 0.0;
	var breath:Shape;
	var clock = 0.0;

	function new() {
		super("st_2d_Slide");
	}

	override function photoBox() {
		// Room for the drift: the picture is decoded a little larger than the stage.
		return {width: Std.int(stageW * (1 + DRIFT)), height: Std.int(stageH * (1 + DRIFT)), keep: 4};
	}

	override function build() {
		var clip = new Shape();
		clip.graphics.beginFill(0);
		clip.graphics.drawRect(0, 0, stageW, stageH);
		clip.graphics.endFill();
		addChild(clip);
		photoLayer.mask = clip;
		if (spotlight) {
			var vignette = new Shape();
			var m = new Matrix();
			m.createGradientBox(stageW * 1.5, stageH * 1.6, 0, -stageW * 0.25, -stageH * 0.3);
			vignette.graphics.beginGradientFill(GradientType.RADIAL, [0, 0], [0, 0.7], [110, 255], m);
			vignette.graphics.drawRect(0, 0, stageW, stageH);
			vignette.graphics.endFill();
			addChildAt(vignette, getChildIndex(photoLayer) + 1);
		}
		if (opt.useLight == true) {
			// The light breathes: a veil over the photos, cheaper than a colour transform.
			breath = new Shape();
			breath.graphics.beginFill(0x000000);
			breath.graphics.drawRect(0, 0, stageW, stageH);
			breath.graphics.endFill();
			breath.alpha = 0;
			addChildAt(breath, getChildIndex(photoLayer) + 1);
		}
		if (opt.useFrame == true) {
			var border = new Shape();
			border.graphics.lineStyle(10, 0xF4F1EA, 0.9);
			border.graphics.drawRect(22, 22, stageW - 44, stageH - 84 - 44);
			addChildAt(border, getChildIndex(photoLayer) + 1);
		}
		photoLayer.graphics.beginFill(0, 0);
		photoLayer.graphics.drawRect(0, 0, stageW, stageH);
		photoLayer.graphics.endFill();
		photoLayer.buttonMode = true;
		photoLayer.addEventListener(MouseEvent.MOUSE_DOWN, function(e:MouseEvent) {
			dragMoved = false;
			pressed = true;
			pressX = e.stageX;
		});
		stage.addEventListener(MouseEvent.MOUSE_MOVE, function(e:MouseEvent) {
			if (pressed && scrollMode == "drag") {
				swipeX = e.stageX - pressX;
				if (Math.abs(swipeX) > 6)
					dragMoved = true;
			}
		});
		stage.addEventListener(MouseEvent.MOUSE_UP, function(_) {
			if (!pressed)
				return;
			pressed = false;
			if (swipeX < -stageW * 0.12)
				goTo(current + 1);
			else if (swipeX > stageW * 0.12)
				goTo(current - 1);
			swipeX = 0;
		});
		if (count > 0)
			front = new Slide(current, this);
	}

	override function update(dt:Float) {
		if (count == 0)
			return;
		// "auto move": the show walks on by itself even when automatic play is off.
		if (scrollMode == "auto" && !playing) {
			sincePlayStep += dt;
			if (sincePlayStep >= opt.autoDelay)
				playStep();
		}
		clock += dt;
		if (breath != null)
			breath.alpha = Math.round((0.04 - 0.04 * Math.sin(clock * 0.8)) * 100) / 100;
		fade = Math.min(1, fade + dt / FADE);
		if (fade >= 1 && leaving != null) {
			leaving.remove();
			leaving = null;
		}
		// The cursor nudges the pan in the influence mode.
		var nudgeX = 0.0, nudgeY = 0.0;
		if (scrollMode == "influence" && stage.mouseX >= 0 && stage.mouseX <= stageW && stage.mouseY >= 0 && stage.mouseY <= stageH) {
			nudgeX = (stage.mouseX / stageW - 0.5) * 2;
			nudgeY = (stage.mouseY / stageH - 0.5) * 2;
		}
		var life = opt.autoDelay + FADE;
		if (leaving != null)
			leaving.place(dt, life, nudgeX, nudgeY, 1 - fade, swipeX);
		if (front != null && front.place(dt, life, nudgeX, nudgeY, fade, swipeX)) {
			pictureOnScreen();
			if (fade >= 1)
				reportShown(current, front.area());
		}
	}

	override function currentChanged(previous:Int) {
		if (leaving != null)
			leaving.remove();
		leaving = front;
		front = new Slide(current, this);
		fade = leaving == null ? 1 : 0;
		lastShown = -1;
		// Warm the next photo, so the cross-fade does not wait for it.
		if (count > 1)
			want((current + 1) % count);
	}

	override function photoAt(x:Float, y:Float):Int {
		return count == 0 ? -1 : current;
	}

	// Used by Slide.
	public function stageWidth() return stageW;

	public function stageHeight() return stageH;

	public function layer() return photoLayer;

	public function picture(i:Int):Null<BitmapData> {
		var b = bitmapOf(i);
		if (b == null)
			want(i);
		return b;
	}

	public function fills():Bool {
		return opt.useFill == true;
	}

}

/** One photo on the stage, with its own start time for the drift. */
private class Slide {
	var index:Int;
	var show:PanSlideshow;
	var holder = new Sprite();
	var bitmap = new Bitmap();
	var age = 0.0;
	var shown:BitmapData;
	// Each photo drifts towards its own corner, picked from its index.
	var dirX:Float;
	var dirY:Float;

	public function new(index:Int, show:PanSlideshow) {
		this.index = index;
		this.show = show;
		holder.addChild(bitmap);
		holder.mouseEnabled = false;
		show.layer().addChild(holder);
		dirX = (index % 2 == 0) ? 1 : -1;
		dirY = (Std.int(index / 2) % 2 == 0) ? 1 : -1;
	}

	public function remove() {
		if (holder.parent != null)
			holder.parent.removeChild(holder);
		bitmap.bitmapData = null;
	}

	/** Lays the photo out for this frame; false while its picture is not decoded yet. */
	public function place(dt:Float, life:Float, nudgeX:Float, nudgeY:Float, alpha:Float, swipe:Float):Bool {
		var bmp = show.picture(index);
		if (bmp == null) {
			holder.visible = false;
			return false;
		}
		if (bmp != shown) {
			shown = bmp;
			bitmap.bitmapData = bmp;
			bitmap.smoothing = true;
		}
		holder.visible = true;
		age += dt;
		var w = show.stageWidth();
		var h = show.stageHeight();
		var base = show.fills() ? Math.max(w / bmp.width, h / bmp.height) : Math.min(w / bmp.width, h / bmp.height);
		var t = Math.min(1, age / life);
		var eased = t * t * (3 - 2 * t);
		var s = base * (1 + PanSlideshowDrift.AMOUNT * eased);
		var dw = bmp.width * s;
		var dh = bmp.height * s;
		// The drift moves the photo by the room its zoom has made, towards its corner.
		var roomX = (dw - bmp.width * base) / 2;
		var roomY = (dh - bmp.height * base) / 2;
		var x = (w - dw) / 2 + roomX * dirX * eased + nudgeX * -roomX * 0.8 + swipe;
		var y = (h - dh) / 2 + roomY * dirY * eased + nudgeY * -roomY * 0.8;
		bitmap.x = x;
		bitmap.y = y;
		bitmap.scaleX = bitmap.scaleY = s;
		holder.alpha = alpha;
		return true;
	}

	/** Where the whole photo is drawn now, in the template's coordinates. */
	public function area():Rectangle {
		return new Rectangle(bitmap.x, bitmap.y, bitmap.width, bitmap.height);
	}
}

private class PanSlideshowDrift {
	public static inline var AMOUNT = 0.10;
}
