package gallery;

import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.Shape;
import flash.display.Sprite;
import flash.geom.Rectangle;

/**
	One photo fitted into a box, centred on the card's origin, with an optional white frame and an
	optional faded mirror image below it. Until its picture is decoded the card shows a placeholder.
**/
class PhotoCard extends Sprite {
	public var index:Int;

	var boxW:Float;
	var boxH:Float;
	var framed:Bool;
	var mirrored:Bool;
	var photo = new Bitmap();
	var mirror:Bitmap;
	var decor = new Shape();
	var veil = new Shape();
	var veilLevel = 1.0;
	var shown:BitmapData;

	public function new(index:Int, boxW:Float, boxH:Float, framed:Bool, mirrored:Bool) {
		super();
		this.index = index;
		this.boxW = boxW;
		this.boxH = boxH;
		this.framed = framed;
		this.mirrored = mirrored;
		mouseChildren = false;
		addChild(decor);
		if (mirrored) {
			mirror = new Bitmap();
			mirror.alpha = 0.22;
			addChild(mirror);
		}
		addChild(photo);
		addChild(veil);
		placeholder();
	}

	/**
		Darkens (below 1) or lightens (above 1) the photo. A veil drawn over it, not a colour
		transform: a player without a GPU redoes a transformed picture pixel by pixel every frame.
	**/
	public function setShade(level:Float) {
		level = Math.round(level * 40) / 40;
		if (level == veilLevel)
			return;
		veilLevel = level;
		drawVeil();
	}

	function drawVeil() {
		veil.graphics.clear();
		if (veilLevel == 1)
			return;
		var r = shown == null ? new Rectangle(-boxW / 2, -boxH / 2, boxW, boxH) : new Rectangle(photo.x, photo.y, photo.width, photo.height);
		if (veilLevel < 1)
			veil.graphics.beginFill(0x000000, 1 - veilLevel);
		else
			veil.graphics.beginFill(0xFFFFFF, Math.min(0.5, (veilLevel - 1) * 0.6));
		veil.graphics.drawRect(r.x, r.y, r.width, r.height);
		veil.graphics.endFill();
	}

	function placeholder() {
		decor.graphics.clear();
		decor.graphics.beginFill(0x2A3038, 0.9);
		decor.graphics.drawRect(-boxW / 2, -boxH / 2, boxW, boxH);
		decor.graphics.endFill();
		decor.graphics.lineStyle(1, 0x59636E);
		decor.graphics.drawRect(-boxW / 2, -boxH / 2, boxW, boxH);
	}

	/** Shows `bmp` (or the placeholder for null); cheap when it is already shown. */
	public function show(bmp:Null<BitmapData>) {
		if (bmp == shown)
			return;
		shown = bmp;
		if (bmp == null) {
			photo.bitmapData = null;
			if (mirror != null)
				mirror.bitmapData = null;
			placeholder();
			drawVeil();
			return;
		}
		var scale = Math.min(boxW / bmp.width, boxH / bmp.height);
		var w = bmp.width * scale;
		var h = bmp.height * scale;
		photo.bitmapData = bmp;
		photo.smoothing = true;
		photo.width = w;
		photo.height = h;
		photo.x = -w / 2;
		photo.y = -h / 2;
		decor.graphics.clear();
		var border = framed ? Math.max(4, Math.round(boxW / 60)) : 0;
		// A soft shadow gives depth; the frame sits on top of it.
		decor.graphics.beginFill(0x000000, 0.35);
		decor.graphics.drawRect(-w / 2 - border + 4, -h / 2 - border + 6, w + 2 * border, h + 2 * border);
		decor.graphics.endFill();
		if (framed) {
			decor.graphics.beginFill(0xF4F1EA);
			decor.graphics.drawRect(-w / 2 - border, -h / 2 - border, w + 2 * border, h + 2 * border);
			decor.graphics.endFill();
		}
		if (mirror != null) {
			mirror.bitmapData = bmp;
			mirror.smoothing = true;
			mirror.width = w;
			mirror.height = -h * 0.999;
			mirror.x = -w / 2;
			mirror.y = h / 2 + border * 2 + h;
			mirror.scrollRect = null;
		}
		drawVeil();
	}

	/**
		Smoothing a large picture drawn small costs a player without a GPU a great deal every frame;
		templates keep it for the photo in focus and for still moments.
	**/
	public function setSmoothing(on:Bool) {
		if (photo.smoothing != on)
			photo.smoothing = on;
		if (mirror != null && mirror.smoothing != on)
			mirror.smoothing = on;
	}

	public function hasPicture():Bool {
		return shown != null;
	}

	/** The photo's area (without frame) in the coordinates of `space`. */
	public function photoArea(space:flash.display.DisplayObject):Rectangle {
		return shown == null ? getBounds(space) : photo.getBounds(space);
	}
}
